// Backlight level and brightness percent, both ways, for every panel.
#include "button_smm/Brightness.h"

#include <gtest/gtest.h>

namespace {

using namespace ButtonSmm;

TEST(BrightnessMinLevel, PanelTable) {
  const INT32 Expected[] = {0x31, 0x36, 0x28, 0x31, 0x35, 0x32};
  for (UINT8 Panel = 0; Panel < 6; ++Panel)
    EXPECT_EQ(BrightnessMinLevel(Panel), Expected[Panel]) << int(Panel);
  // No entry: the plain 0 to 255 range (0xFF before the platform data is read).
  EXPECT_EQ(BrightnessMinLevel(6), 0);
  EXPECT_EQ(BrightnessMinLevel(0xFF), 0);
}

struct Conversion {
  UINT8 Panel;
  UINT8 Percent;
  UINT8 Level;       // PercentToLevel(Percent)
  UINT8 ReadPercent; // LevelToPercent(Level)
};

TEST(Brightness, PercentToLevelAndBack) {
  // Worked by hand: level = m + (255 - m) * P / 100; percent = (L - m + 5) * 100 / (255 - m).
  const Conversion Cases[] = {
      {0, 0, 49, 2},      {0, 50, 152, 52},   {0, 100, 255, 100}, {0, 1, 51, 3},
      {1, 0, 54, 2},      {1, 50, 154, 52},   {1, 100, 255, 100}, {1, 99, 252, 100},
      {2, 0, 40, 2},      {2, 50, 147, 52},   {2, 100, 255, 100}, {3, 50, 152, 52},
      {4, 0, 53, 2},      {4, 50, 154, 52},   {4, 100, 255, 100}, {5, 0, 50, 2},
      {5, 50, 152, 52},   {5, 100, 255, 100}, {6, 0, 0, 52},      {6, 50, 127, 51},
      {6, 100, 255, 100}, {0xFF, 37, 94, 38},
  };
  for (const Conversion &c : Cases) {
    INT32 m = BrightnessMinLevel(c.Panel);
    EXPECT_EQ(PercentToLevel(c.Percent, m), c.Level) << int(c.Panel) << " " << int(c.Percent);
    EXPECT_EQ(LevelToPercent(c.Level, m), c.ReadPercent) << int(c.Panel) << " " << int(c.Level);
  }
}

TEST(Brightness, OutOfRangeInputs) {
  for (UINT8 Panel = 0; Panel < 8; ++Panel) {
    INT32 m = BrightnessMinLevel(Panel);
    // Percentages above 100 count as 100.
    EXPECT_EQ(PercentToLevel(200, m), 255);
    EXPECT_EQ(PercentToLevel(255, m), 255);
    // Level 0 is taken as 128.
    EXPECT_EQ(LevelToPercent(0, m), LevelToPercent(128, m));
    // Every level reads as 0 to 100, also far below the panel minimum, and
    // the reading never falls as the level rises.
    UINT8 Previous = 0;
    for (UINT32 Level = 1; Level < 256; ++Level) {
      UINT8 p = LevelToPercent(UINT8(Level), m);
      ASSERT_LE(p, 100);
      ASSERT_GE(p, Previous) << int(Panel) << " " << Level;
      Previous = p;
    }
  }
  // Panel 0, level 0 reads as 40 percent; level 1 is far below the minimum.
  EXPECT_EQ(LevelToPercent(0, 49), 40);
  EXPECT_EQ(LevelToPercent(1, 49), 0);
  EXPECT_EQ(LevelToPercent(43, 49), 0);
}

} // namespace
