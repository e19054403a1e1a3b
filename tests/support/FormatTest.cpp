#include "support/Format.h"
#include "WideText.h"
#include "support/Strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr EFI_GUID kHooksGuid = {
    0x8C939604, 0x0700, 0x4415, {0x9D, 0x62, 0x11, 0x61, 0xDB, 0x81, 0x64, 0xA6}};
const CHAR8 kHighBytes[] = "a\xE9\x80\x7F";

UINT64 Ptr(const void *p) {
  return reinterpret_cast<UINT64>(p);
}

// Every argument is passed as a full 64-bit slot, as the formatter reads them.
struct Case {
  const char16_t *format;
  std::vector<UINT64> args;
  std::u16string expected;
};

UINTN Call(CHAR16 *buffer, UINTN size, const Case &c) {
  UINT64 a[4] = {};
  for (size_t i = 0; i < c.args.size() && i < 4; ++i)
    a[i] = c.args[i];
  return FormatWide(buffer, size, c.format, a[0], a[1], a[2], a[3]);
}

const std::vector<Case> &Cases() {
  static const std::vector<Case> cases = {
      {u"plain text", {}, u"plain text"},
      {u"100%%", {}, u"100%"},
      {u"%04x", {0x1A}, u"001a"},
      {u"%4x", {0x1A}, u"  1a"},
      {u"%05d", {static_cast<UINT64>(-42)}, u"00-42"},
      {u"%5d", {static_cast<UINT64>(-42)}, u"  -42"},
      {u"%2d", {12345}, u"12345"},
      {u"% 3d", {7}, u"  7"},
      {u"%*d", {6, 42}, u"    42"},
      {u"%0*X", {4, 0xbe}, u"00BE"},
      {u"%i", {0}, u"0"},
      {u"%x", {0xFFFFFFFF}, u"ffffffff"},
      {u"%X", {0xABCDEF}, u"ABCDEF"},
      {u"%lx", {~UINT64(0)}, u"ffffffffffffffff"},
      {u"%lX", {0x0123456789ABCDEF}, u"123456789ABCDEF"},
      {u"%d", {0x80000000}, u"-2147483648"},
      {u"%ld", {0x8000000000000000}, u"-9223372036854775808"},
      {u"%li", {0x7FFFFFFFFFFFFFFF}, u"9223372036854775807"},
      {u"%x", {0xFFFFFFFF80000000}, u"80000000"},
      // A 32-bit directive reads only the low half of its slot.
      {u"%d|%x", {0xDEADBEEF0000002A, 0x1234567800000010}, u"42|10"},
      {u"%02X%02X", {0x5, 0xAB}, u"05AB"},
      {u"[%s]", {Ptr(u"wide")}, u"[wide]"},
      {u"[%S]", {Ptr(kHighBytes)}, u"[a\xFFE9\xFF80\x7F]"},
      {u"[%a]", {Ptr("narrow")}, u"[narrow]"},
      {u"%c%c", {0x41, 0x10042}, u"AB"},
      {u"%5s|%5c", {Ptr(u"ab"), u'c'}, u"ab|c"},
      {u"%g", {Ptr(&kHooksGuid)}, u"8c939604-0700-4415-9d62-1161db8164a6"},
      {u"%G", {Ptr(&kHooksGuid)}, u"8C939604-0700-4415-9D62-1161DB8164A6"},
      {u"%r", {EFI_NOT_FOUND}, u"EFI_NOT_FOUND"},
      {u"%r", {0x8000000000000029}, u"Status Code(29)"},
      {u"%r", {0x8000000000000000}, u"Status Code(0)"},
      {u"%r", {0xC000000000000001}, u"EFI_DBE_EOF"},
      {u"%r", {0x2000000000000001}, u"EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
      {u"%r", {5}, u"Status Code(5)"},
      {u"%r", {0x12345678ABCDEF01}, u"Status Code(ABCDEF01)"},
      {u"%r=%d", {0, 3}, u"EFI_SUCCESS=3"},
      // Unknown conversions take no argument; the character reads as text.
      {u"%u%d", {7}, u"u7"},
      {u"%ls%d", {7}, u"s7"},
      {u"%lu", {}, u"u"},
      {u"%5z", {}, u"z"},
      {u"%l%d", {9}, u"9"},
      {u"end%", {}, u"end"},
      {u"end%0", {}, u"end"},
      {u"end%l", {}, u"end"},
      // A negative width counts as none.
      {u"%-5d|", {42}, u"42|"},
      {u"%0-8x|", {0xab}, u"ab|"},
      {u"%*d|", {static_cast<UINT64>(-3), 42}, u"42|"},
      {u"%*d|", {0x80000000, 1}, u"1|"},
      {u"Boot%04X", {0xA}, u"Boot000A"},
  };
  return cases;
}

TEST(FormatWide, Directives) {
  for (const Case &c : Cases()) {
    CHAR16 buffer[128];
    const UINTN n = Call(buffer, 128, c);
    EXPECT_EQ(std::u16string(buffer, n), c.expected) << Show(c.format) << " gave " << Show(buffer);
    EXPECT_EQ(n, c.expected.size()) << Show(c.format);
    EXPECT_EQ(buffer[n], 0) << Show(c.format);
  }
}

// Every size cuts the same text at size - 1 characters, nested layouts included, never
// writes past the size and always terminates.
TEST(FormatWide, TruncatesAtEverySize) {
  for (const Case &c : Cases()) {
    for (UINTN size = 1; size <= c.expected.size() + 2; ++size) {
      std::vector<CHAR16> buffer(size + 4, u'#');
      const UINTN n = Call(buffer.data(), size, c);
      const UINTN kept = std::min<UINTN>(size - 1, c.expected.size());
      ASSERT_EQ(n, kept) << Show(c.format) << " size " << size;
      EXPECT_EQ(std::u16string(buffer.data(), n), c.expected.substr(0, kept))
          << Show(c.format) << " size " << size;
      EXPECT_EQ(buffer[n], 0) << Show(c.format) << " size " << size;
      for (UINTN i = size; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], u'#') << Show(c.format) << " size " << size << " wrote at " << i;
    }
  }
}

TEST(FormatWide, NestedTextCutShortEndsTheOutput) {
  CHAR16 buffer[16];
  // 5 characters of room in the GUID; nothing of the text after it.
  EXPECT_EQ(FormatWide(buffer, 8, u"<%G>after", &kHooksGuid), 7u);
  EXPECT_EQ(std::u16string(buffer), u"<8C9396");
  EXPECT_EQ(FormatWide(buffer, 6, u"%r!", EFI_NOT_FOUND), 5u);
  EXPECT_EQ(std::u16string(buffer), u"EFI_N");
  EXPECT_EQ(FormatWide(buffer, 14, u"%r!", UINT64(0x8000000000000029)), 13u);
  EXPECT_EQ(std::u16string(buffer), u"Status Code(2");
}

TEST(FormatWide, GuidAtAnyAlignment) {
  alignas(8) UINT8 bytes[24];
  for (size_t offset = 0; offset < 8; ++offset) {
    std::memcpy(bytes + offset, &kHooksGuid, sizeof kHooksGuid);
    CHAR16 buffer[40];
    FormatWide(buffer, 40, u"%g", bytes + offset);
    EXPECT_EQ(std::u16string(buffer), u"8c939604-0700-4415-9d62-1161db8164a6") << offset;
  }
}

TEST(FormatWide, SizeOneAndNullArguments) {
  CHAR16 buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(FormatWide(buffer, 1, u"abcdefgh"), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], u'x');

  buffer[0] = u'x';
  EXPECT_EQ(FormatWide(buffer, 4, nullptr), ~UINTN(0));
  EXPECT_EQ(FormatWide(nullptr, 4, u"abc"), ~UINTN(0));
  EXPECT_EQ(buffer[0], u'x');

  // Missing strings and GUIDs write nothing rather than fault.
  EXPECT_EQ(FormatWide(buffer, 4, u"%s%S%g", nullptr, nullptr, nullptr), 0u);
}

TEST(FormatWide, UnboundedWritesWholeText) {
  CHAR16 buffer[80];
  const UINT8 bytes[] = {0x00, 0x7F, 0xE0, 0x30};
  UINTN n = 0;
  for (UINT8 b : bytes)
    n += FormatWideUnbounded(buffer + n, u"%02X", b);
  EXPECT_EQ(std::u16string(buffer), u"007FE030");
  EXPECT_EQ(n, 8u);
  // A negative width with no size limit must stay bounded.
  EXPECT_EQ(FormatWideUnbounded(buffer, u"%-2000000000d", 5), 1u);
  EXPECT_EQ(std::u16string(buffer), u"5");
}

TEST(FormatWide, HugeWidthStopsAtTheSize) {
  CHAR16 buffer[8];
  EXPECT_EQ(FormatWide(buffer, 8, u"%2147483647d", 5), 7u);
  EXPECT_EQ(std::u16string(buffer), u"       ");
}

} // namespace
