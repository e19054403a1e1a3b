// The 80x25 text screen: rows, wrapping, scrolling and the cursor.
#include "sim/console/TextScreen.h"

#include <gtest/gtest.h>

namespace {

TEST(TextScreen, LinesOfEightyColumnsTakeOneRowLongerOnesWrap) {
  sim::TextScreen screen;
  screen.PrintLine(std::u16string(80, u'a'));
  EXPECT_EQ(screen.CursorRow(), 1u);
  screen.PrintLine(std::u16string(81, u'b'));
  EXPECT_EQ(screen.CursorRow(), 3u);
  auto rows = screen.UsedRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], std::string(80, 'a'));
  EXPECT_EQ(rows[1], std::string(80, 'b'));
  EXPECT_EQ(rows[2], "b");
  EXPECT_EQ(screen.Transcript().size(), 2u);
}

TEST(TextScreen, ScrollsAtTheBottomAndRefusesPositionsOffScreen) {
  sim::TextScreen screen;
  for (int i = 0; i < 30; ++i)
    screen.PrintLine(u"line " + std::u16string(1, char16_t(u'A' + i)));
  auto rows = screen.Rows();
  EXPECT_EQ(rows[0], "line G"); // 30 lines + the empty cursor row: 6 scrolled away
  EXPECT_EQ(rows[23], "line ^");
  EXPECT_EQ(rows[24], "");
  EXPECT_TRUE(screen.SetCursor(79, 24));
  EXPECT_FALSE(screen.SetCursor(80, 0));
  EXPECT_FALSE(screen.SetCursor(0, 25));
  EXPECT_FALSE(screen.SetCursor(0, ~size_t(0) - 3));
  EXPECT_EQ(screen.CursorColumn(), 79u);
  EXPECT_EQ(screen.CursorRow(), 24u);
}

TEST(TextScreen, OverwritesAtTheCursor) {
  sim::TextScreen screen;
  screen.PrintLine(u"first line");
  screen.PrintLine(u"second line");
  ASSERT_TRUE(screen.SetCursor(0, 0));
  screen.PrintLine(u"FIRST");
  auto rows = screen.UsedRows();
  EXPECT_EQ(rows[0], "FIRST line");
  EXPECT_EQ(rows[1], "second line");
  EXPECT_EQ(screen.CursorRow(), 1u);
}

} // namespace
