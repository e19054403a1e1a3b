// Brightness through SMI 0xE0, the brightness buttons and start-up, per panel.
#include "ButtonBoard.h"

#include <gtest/gtest.h>

namespace {

using namespace buttontest;

TEST(Brightness, SmiGetAndSet) {
  ButtonBoard board; // panel 0
  struct Case {
    uint32_t Percent;
    uint8_t Level;
    uint32_t Reads;
  };
  for (const Case &c : {Case{100, 255, 100}, Case{0, 49, 0}, Case{50, 152, 50}, Case{200, 255, 100},
                        Case{0x133, 154, 51}, Case{0x100, 49, 0}}) {
    unsigned commits = board.Ec().BacklightCommits();
    board.SetBrightness(c.Percent);
    EXPECT_EQ(board.Ec().BacklightLevel(), c.Level) << c.Percent;
    EXPECT_EQ(board.Ec().BacklightCommits(), commits + 1) << c.Percent;
    EXPECT_EQ(board.GetBrightness(), c.Reads) << c.Percent;
    EXPECT_EQ(board.Smm().Os().Read32(0) & 0x80, 0x80u);
  }
  // Get answers the driver's percent, not the EC level.
  board.SetBrightness(30);
  board.Ec().SetBacklightLevel(200);
  EXPECT_EQ(board.GetBrightness(), 30u);
}

TEST(Brightness, ButtonStepsInAcpiModeNotifyTheOs) {
  ButtonBoard board;
  board.SetBrightness(100);
  sim::OsCommandBuffer os = board.Smm().Os();
  os.Write32(0, os.Read32(0) | 0x400);
  unsigned commits = board.Ec().BacklightCommits(), scis = board.Chipset().Ports().SciCount();

  board.Ec().Press(kBrightnessUp);
  EXPECT_EQ(board.Ec().BacklightLevel(), 255);
  EXPECT_EQ(board.Ec().BacklightCommits(), commits + 1);
  EXPECT_EQ(os.Read32(0) & 0x600, 0x200u);
  EXPECT_EQ(os.Read32(4), 100u);
  EXPECT_EQ(board.Chipset().Ports().SciCount(), scis + 1);
  board.Ec().Release(kBrightnessUp);
  EXPECT_EQ(board.Ec().BacklightCommits(), commits + 1);

  board.Ec().Press(kBrightnessDown);
  EXPECT_EQ(board.Ec().BacklightLevel(), 49 + 206 * 99 / 100);
  EXPECT_EQ(os.Read32(0) & 0x600, 0x400u);
  EXPECT_EQ(os.Read32(4), 99u);
  EXPECT_EQ(board.Chipset().Ports().SciCount(), scis + 2);
  board.Ec().Release(kBrightnessDown);
  EXPECT_EQ(board.GetBrightness(), 99u);
}

TEST(Brightness, ButtonStepsOutsideAcpiModeLeaveTheBufferAlone) {
  ButtonBoard board;
  board.SetBrightness(0);
  board.SetAcpiMode(false);
  sim::OsCommandBuffer os = board.Smm().Os();
  std::vector<uint8_t> before(os.Bytes().begin(), os.Bytes().end());
  unsigned scis = board.Chipset().Ports().SciCount();
  board.Board().Trace().Clear();

  board.Ec().Press(kBrightnessDown); // stops at 0
  EXPECT_EQ(board.Ec().BacklightLevel(), 49);
  board.Ec().Release(kBrightnessDown);
  board.Ec().Press(kBrightnessUp);
  board.Ec().Hold();
  EXPECT_EQ(board.Ec().BacklightLevel(), 49 + 206 * 2 / 100);

  EXPECT_EQ(std::vector<uint8_t>(os.Bytes().begin(), os.Bytes().end()), before);
  EXPECT_EQ(board.Chipset().Ports().SciCount(), scis);
  for (const std::string &access : board.PortAccesses())
    EXPECT_EQ(access.find(" 0A46="), std::string::npos) << access;
}

// Start-up re-programs the level from the percent it reads as, per panel.
TEST(Brightness, StartUpPerPanel) {
  struct Case {
    int Panel;
    uint8_t Level;    // EC level at power-on
    uint32_t Percent; // percent it reads as
    uint8_t Written;  // level start-up writes back
  };
  const Case cases[] = {
      {0, 152, 52, 156}, {0, 0, 40, 131},   {0, 255, 100, 255}, {0, 10, 0, 49},
      {1, 154, 52, 158}, {2, 147, 52, 151}, {3, 49, 2, 53},     {4, 154, 52, 158},
      {5, 152, 52, 156}, {6, 127, 51, 130}, {255, 0, 52, 132},
  };
  for (const Case &c : cases) {
    ButtonBoard board(
        {{"platform_data", {{"panel", c.Panel}}}, {"ec", {{"backlight_level", c.Level}}}});
    EXPECT_EQ(board.GetBrightness(), c.Percent) << c.Panel << " " << int(c.Level);
    EXPECT_EQ(board.Ec().BacklightLevel(), c.Written) << c.Panel << " " << int(c.Level);
  }
}

} // namespace
