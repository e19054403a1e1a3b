// The UTF-16 formatter.
#include "support/Format.h"
#include "support/Strings.h"

namespace {

constexpr CHAR16 kGuidLayout[] = u"%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x";
constexpr CHAR16 kNamedStatusLayout[] = u"%S";
constexpr CHAR16 kNumberedStatusLayout[] = u"%S(%X)";
constexpr CHAR8 kStatusCodeWord[] = "Status Code";

// The output position and the room left. Room 0 means no limit; room 1 means only the
// terminator still fits, which ends the walk.
struct Output {
  CHAR16 *Buffer;
  UINTN Room;
  UINTN Count;

  bool Full() const { return Room == 1; }
  CHAR16 *Position() const { return Buffer + Count; }

  bool Put(CHAR16 c) {
    if (Full())
      return false;
    Buffer[Count++] = c;
    if (Room != 0)
      --Room;
    return true;
  }

  // Takes on what a nested call wrote at Position().
  void Advance(UINTN n) {
    Count += n;
    if (Room != 0)
      Room -= n;
  }
};

// Formats a nested layout into the remaining room; a text cut short fills the room, which
// ends the outer walk too.
UINTN FormatNested(Output &out, const CHAR16 *Layout, ...) {
  va_list args;
  va_start(args, Layout);
  const UINTN n = FormatWideV(out.Position(), out.Room, Layout, args);
  va_end(args);
  out.Advance(n);
  return n;
}

void PutWide(Output &out, const CHAR16 *s) {
  if (s == nullptr)
    return;
  while (*s && out.Put(*s))
    ++s;
}

// Bytes 0x80 to 0xFF widen with sign extension, to 0xFF80 to 0xFFFF.
void PutNarrow(Output &out, const CHAR8 *s) {
  if (s == nullptr)
    return;
  while (*s && out.Put(static_cast<CHAR16>(static_cast<INT16>(static_cast<INT8>(*s)))))
    ++s;
}

// Read byte by byte: GUIDs inside packed records (device paths, HOBs, variable data) are
// often not 4-byte aligned.
void PutGuid(Output &out, const EFI_GUID *guid, bool upper) {
  if (guid == nullptr)
    return;
  const auto *b = reinterpret_cast<const UINT8 *>(guid);
  const UINT32 data1 = b[0] | b[1] << 8 | b[2] << 16 | UINT32(b[3]) << 24;
  const UINT32 data2 = b[4] | b[5] << 8;
  const UINT32 data3 = b[6] | b[7] << 8;
  CHAR16 *start = out.Position();
  FormatNested(out, kGuidLayout, data1, data2, data3, UINT32(b[8]), UINT32(b[9]), UINT32(b[10]),
               UINT32(b[11]), UINT32(b[12]), UINT32(b[13]), UINT32(b[14]), UINT32(b[15]));
  if (upper)
    WideUpper(start);
}

void PutStatus(Output &out, EFI_STATUS status) {
  if (const CHAR8 *name = StatusName(status))
    FormatNested(out, kNamedStatusLayout, name);
  else
    FormatNested(out, kNumberedStatusLayout, kStatusCodeWord, static_cast<UINT32>(status));
}

// Pad characters first, then the digits, the sign counting as a digit.
void PutNumber(Output &out, INT64 value, UINTN base, bool is64, bool upper, CHAR16 pad,
               UINT32 width) {
  CHAR16 digits[32];
  NumberToWide(value, digits, base, is64);
  if (upper)
    WideUpper(digits);
  for (UINTN n = WideLength(digits); n < width; ++n)
    if (!out.Put(pad))
      return;
  PutWide(out, digits);
}

} // namespace

UINTN FormatWideV(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, va_list Args) {
  if (Buffer == nullptr || Format == nullptr)
    return ~UINTN(0);

  Output out{Buffer, Size, 0};
  const CHAR16 *p = Format;
  while (!out.Full() && *p) {
    if (*p != u'%') {
      out.Put(*p++);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out.Put(u'%');
      ++p;
      continue;
    }

    CHAR16 pad = u' ';
    if (*p == u'0') {
      pad = u'0';
      ++p;
    }
    UINT32 width;
    if (*p == u'*') {
      width = va_arg(Args, UINT32);
      ++p;
    } else {
      const VOID *end;
      width = static_cast<UINT32>(ParseInteger(p, &end, 10, 2));
      p = static_cast<const CHAR16 *>(end);
    }
    // A negative width ("%-5d", or '*' with a negative argument) would pad for billions of
    // characters, past any buffer when the size is unlimited: it counts as no width.
    if (width & 0x80000000u)
      width = 0;

    bool is64 = false;
    if (*p == u'l') {
      const CHAR16 next = p[1];
      if (next != u'd' && next != u'i' && next != u'x' && next != u'X') {
        ++p; // the walk goes on at the character after 'l', as text
        continue;
      }
      is64 = true;
      ++p;
    }

    switch (*p) {
    case u's':
      PutWide(out, va_arg(Args, const CHAR16 *));
      break;
    case u'S':
    case u'a':
      PutNarrow(out, va_arg(Args, const CHAR8 *));
      break;
    case u'c':
      out.Put(static_cast<CHAR16>(va_arg(Args, UINT32)));
      break;
    case u'g':
    case u'G':
      PutGuid(out, va_arg(Args, const EFI_GUID *), *p == u'G');
      break;
    case u'r':
      PutStatus(out, va_arg(Args, EFI_STATUS));
      break;
    case u'd':
    case u'i':
    case u'x':
    case u'X': {
      const INT64 value = is64 ? static_cast<INT64>(va_arg(Args, UINT64))
                               : static_cast<INT64>(static_cast<INT32>(va_arg(Args, UINT32)));
      const bool hex = *p == u'x' || *p == u'X';
      PutNumber(out, value, hex ? 16 : 10, is64, *p == u'X', pad, width);
      break;
    }
    default:
      // Not a directive: nothing is taken, and the character is read again as text.
      continue;
    }
    ++p;
  }
  Buffer[out.Count] = 0;
  return out.Count;
}

UINTN FormatWide(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, ...) {
  va_list args;
  va_start(args, Format);
  const UINTN n = FormatWideV(Buffer, Size, Format, args);
  va_end(args);
  return n;
}

UINTN FormatWideUnbounded(CHAR16 *Buffer, const CHAR16 *Format, ...) {
  va_list args;
  va_start(args, Format);
  const UINTN n = FormatWideV(Buffer, 0, Format, args);
  va_end(args);
  return n;
}
