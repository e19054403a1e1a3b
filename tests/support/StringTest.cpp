#include "WideText.h"
#include "support/Strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideCompare, DifferenceAtFirstMismatchOrTerminator) {
  struct {
    const char16_t *a;
    const char16_t *b;
    INT32 expected;
  } const cases[] = {
      {u"Mute", u"Mute", 0},
      {u"", u"", 0},
      {u"Mute", u"MuteX", -INT32(u'X')},
      {u"MuteX", u"Mute", INT32(u'X')},
      {u"b", u"a", 1},
      {u"VolumeUp", u"VolumeDown", INT32(u'U') - INT32(u'D')},
      {u"\xFFFF", u"a", 0xFFFF - INT32(u'a')}, // characters compare unsigned
  };
  for (const auto &c : cases)
    EXPECT_EQ(WideCompare(c.a, c.b), c.expected) << Show(c.a) << " vs " << Show(c.b);
}

TEST(WideString, UpperLengthCopy) {
  CHAR16 text[] = u"azAZ09{`\x00E9z";
  EXPECT_EQ(WideUpper(text), text);
  EXPECT_EQ(std::u16string(text), u"AZAZ09{`\x00E9Z");
  EXPECT_EQ(WideLength(text), 10u);
  EXPECT_EQ(WideLength(u""), 0u);
  EXPECT_EQ(NarrowLength("abc"), 3u);
  EXPECT_EQ(NarrowLength(""), 0u);

  CHAR16 line[16] = u"Press ";
  // Appending: the copy lands on the terminator and brings its own.
  EXPECT_EQ(WideCopy(line + WideLength(line), u"F1"), line + 6);
  EXPECT_EQ(std::u16string(line), u"Press F1");
  EXPECT_EQ(line[8], 0);
}

} // namespace
