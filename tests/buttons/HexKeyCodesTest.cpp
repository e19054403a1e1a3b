// The key-code text of SetButton: pairs of hex digits, 1 to 9 bytes.
#include "button_smm/HexKeyCodes.h"
#include "button_smm/Buttons.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ButtonSmm;

struct HexCase {
  std::u16string Text;
  bool Accepted;
  std::vector<UINT8> Bytes;
};

class HexKeyCodes : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexKeyCodes, ParsesPairsOfDigits) {
  const HexCase &c = GetParam();
  WideSpan Span = {reinterpret_cast<const UINT8 *>(c.Text.data()), c.Text.size()};
  UINT8 Bytes[kKeyCodeMax] = {};
  UINTN Count = 99;
  EXPECT_EQ(ParseHexKeyCodes(Span, Bytes, &Count), c.Accepted);
  if (c.Accepted)
    EXPECT_EQ(std::vector<UINT8>(Bytes, Bytes + Count), c.Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HexKeyCodes,
    ::testing::Values(HexCase{u"E030", true, {0xE0, 0x30}},
                      // a single trailing character is ignored, not tested as a digit
                      HexCase{u"E03", true, {0xE0}}, HexCase{u"E0Z", true, {0xE0}},
                      HexCase{u"e0aB", true, {0xE0, 0xAB}}, HexCase{u"0f9A", true, {0x0F, 0x9A}},
                      HexCase{u"E0 30", false, {}}, HexCase{u"", false, {}},
                      HexCase{u"E", false, {}}, HexCase{u"G0", false, {}},
                      HexCase{u"0g", false, {}}, HexCase{u"E0:30", false, {}},
                      HexCase{u"010203040506070809", true, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
                      HexCase{u"01020304050607080910", false, {}},
                      HexCase{u"0102030405060708090", true, {1, 2, 3, 4, 5, 6, 7, 8, 9}}));

TEST(HexDigitValue, AcceptsExactlyTheHexDigits) {
  for (UINT32 c = 0; c < 0x10000; ++c) {
    UINT8 Value = 0xEE;
    int Expected = (c >= '0' && c <= '9')   ? int(c - '0')
                   : (c >= 'A' && c <= 'F') ? int(c - 'A' + 10)
                   : (c >= 'a' && c <= 'f') ? int(c - 'a' + 10)
                                            : -1;
    ASSERT_EQ(HexDigitValue(CHAR16(c), &Value), Expected >= 0) << c;
    if (Expected >= 0)
      ASSERT_EQ(Value, Expected) << c;
  }
}

} // namespace
