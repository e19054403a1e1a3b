// The formatter under arbitrary formats, sizes and string arguments.
//
// Input: byte 0 picks the size (1 to 256), then the format as UTF-16LE up to a 0x0000
// character, then the bytes that string, GUID and number arguments are taken from.
// Checks: nothing is written past the size (the buffer is exactly that large, ASan sees
// the rest), the text is terminated and as long as the count says, a smaller size gives a
// prefix of the larger size's text, and size 0 (no limit) gives the same text whenever it
// fits.
#include "support/Format.h"
#include "support/Strings.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kSlots = 48;
constexpr size_t kMaxDirectives = kSlots / 2; // '*' and the value: two slots at most
constexpr UINTN kLarge = 4096;

struct Arguments {
  UINT64 slot[kSlots];
};

UINTN Format(CHAR16 *buffer, UINTN size, const CHAR16 *format, const Arguments &a) {
  const UINT64 *s = a.slot;
  return FormatWide(buffer, size, format, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8],
                    s[9], s[10], s[11], s[12], s[13], s[14], s[15], s[16], s[17], s[18], s[19],
                    s[20], s[21], s[22], s[23], s[24], s[25], s[26], s[27], s[28], s[29], s[30],
                    s[31], s[32], s[33], s[34], s[35], s[36], s[37], s[38], s[39], s[40], s[41],
                    s[42], s[43], s[44], s[45], s[46], s[47]);
}

void Require(bool condition) {
  if (!condition)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1)
    return 0;
  const UINTN bufferSize = UINTN(data[0]) + 1;
  ++data;
  --size;

  // The format, cut before it could ask for more arguments than there are slots.
  std::vector<CHAR16> format;
  size_t used = 0;
  size_t percents = 0;
  for (; used + 1 < size; used += 2) {
    const CHAR16 c = static_cast<CHAR16>(data[used] | data[used + 1] << 8);
    if (c == 0) {
      used += 2;
      break;
    }
    if (c == u'%' && ++percents > kMaxDirectives)
      break;
    format.push_back(c);
  }
  format.push_back(0);

  // Argument bytes, followed by enough zeros to end every string and hold a GUID. Each slot
  // points at an even offset, so it is a UTF-16 string, an 8-bit string, a GUID and a
  // number at once.
  const size_t payloadSize = size > used ? size - used : 0;
  std::vector<UINT64> payload((payloadSize + 64) / 8 + 1, 0);
  std::memcpy(payload.data(), data + used, payloadSize);
  Arguments args;
  for (size_t i = 0; i < kSlots; ++i) {
    const size_t offset = payloadSize ? (i * 6) % (payloadSize + 1) & ~size_t(1) : 0;
    args.slot[i] = reinterpret_cast<UINT64>(reinterpret_cast<UINT8 *>(payload.data()) + offset);
  }

  std::vector<CHAR16> small(bufferSize);
  const UINTN n = Format(small.data(), bufferSize, format.data(), args);
  Require(n < bufferSize);
  Require(small[n] == 0);

  std::vector<CHAR16> large(kLarge);
  const UINTN full = Format(large.data(), kLarge, format.data(), args);
  Require(full < kLarge && large[full] == 0);
  Require(n == std::min<UINTN>(full, bufferSize - 1));
  Require(std::equal(small.begin(), small.begin() + n, large.begin()));

  if (full < kLarge - 1) {
    std::vector<CHAR16> unbounded(kLarge);
    Require(Format(unbounded.data(), 0, format.data(), args) == full);
    Require(std::equal(large.begin(), large.begin() + full + 1, unbounded.begin()));
  }
  return 0;
}
