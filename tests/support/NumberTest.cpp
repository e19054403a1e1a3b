#include "WideText.h"
#include "support/Format.h"
#include "support/Strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

TEST(NumberToWide, BasesSignsAndWidths) {
  struct {
    INT64 value;
    UINTN base;
    BOOLEAN is64;
    const char16_t *expected;
  } const cases[] = {
      {0, 10, FALSE, u"0"},
      {0, 16, TRUE, u"0"},
      {9, 10, FALSE, u"9"},
      {10, 16, FALSE, u"a"},
      {255, 16, FALSE, u"ff"},
      {-1, 10, FALSE, u"-1"},
      {-1, 16, FALSE, u"ffffffff"},
      {-1, 16, TRUE, u"ffffffffffffffff"},
      {INT64_MIN, 10, TRUE, u"-9223372036854775808"},
      {INT64_MIN, 16, TRUE, u"8000000000000000"},
      {INT64_MAX, 10, TRUE, u"9223372036854775807"},
      {0x123456789, 16, FALSE, u"123456789"}, // non-negative values keep every bit
      {1234, 8, FALSE, u"1234"},              // other bases count as 10
  };
  for (const auto &c : cases) {
    CHAR16 buffer[32];
    EXPECT_EQ(NumberToWide(c.value, buffer, c.base, c.is64), buffer);
    EXPECT_EQ(std::u16string(buffer), c.expected) << c.value << " base " << c.base;
  }
}

TEST(DivMod64, QuotientRemainderAndZeroDivisor) {
  UINT64 remainder = 0;
  EXPECT_EQ(DivMod64(~UINT64(0), 10, &remainder), 1844674407370955161u);
  EXPECT_EQ(remainder, 5u);
  EXPECT_EQ(DivMod64(7, 7, nullptr), 1u);
  EXPECT_EQ(DivMod64(42, 0, &remainder), ~UINT64(0));
  EXPECT_EQ(remainder, 42u);
}

struct ParseCase {
  const char *text;
  UINTN base;
  INT32 value;
  size_t end; // characters consumed
};

const ParseCase kParseCases[] = {
    {"", 10, 0, 0},
    {"  \t", 0, 0, 3},
    {"  0x1fz", 0, 31, 6},
    {"0XaB", 0, 0xAB, 4},
    {"017", 0, 15, 3},
    {"018", 0, 1, 2},
    {"0", 0, 0, 1},
    {"0x", 0, 0, 2},
    {"42abc", 0, 42, 2},
    {"0x1F", 16, 0, 1},
    {"1F", 16, 31, 2},
    {"zZ", 36, 35 * 36 + 35, 2},
    {"-+7", 10, -7, 3},
    {"+-7", 10, 0, 1},
    {"- 7", 10, 0, 1},
    {"-12x", 10, -12, 3},
    {"2147483647", 10, INT32_MAX, 10},
    {"2147483648", 10, INT32_MAX, 10},
    {"-2147483648", 10, INT32_MIN, 11},
    {"-2147483649", 10, INT32_MIN, 11},
    {"7fffffff", 16, INT32_MAX, 8},
    {"80000000", 16, INT32_MAX, 8},
    {"-80000000", 16, INT32_MIN, 9},
    {"99999999999999999999z", 10, INT32_MAX, 20},
    // Values whose 32-bit product wraps to a small number are still too large.
    {"4294967296", 10, INT32_MAX, 10},
    {"4294967297", 10, INT32_MAX, 10},
    {"-4294967296", 10, INT32_MIN, 11},
    {"100000000", 16, INT32_MAX, 9},
    {"0x100000001", 0, INT32_MAX, 11},
};

TEST(ParseInteger, NarrowText) {
  for (const ParseCase &c : kParseCases) {
    const VOID *end = nullptr;
    EXPECT_EQ(ParseInteger(c.text, &end, c.base, 1), c.value) << c.text;
    EXPECT_EQ(static_cast<const char *>(end) - c.text, static_cast<ptrdiff_t>(c.end)) << c.text;
  }
}

TEST(ParseInteger, WideTextStepsTwoBytes) {
  for (const ParseCase &c : kParseCases) {
    std::u16string wide(c.text, c.text + std::strlen(c.text));
    const VOID *end = nullptr;
    EXPECT_EQ(ParseInteger(wide.c_str(), &end, c.base, 2), c.value) << c.text;
    EXPECT_EQ(static_cast<const CHAR16 *>(end) - wide.c_str(), static_cast<ptrdiff_t>(c.end))
        << c.text;
  }
  // Only the low byte of a character is looked at.
  const CHAR16 text[] = {0x0131, 0x0132, 0};
  EXPECT_EQ(ParseInteger(text, nullptr, 10, 2), 12);
}

} // namespace
