// The table operations' argument checks, the EC bits of start-up, and the
// handlers without a command buffer.
#include "ButtonBoard.h"
#include "button_smm/Brightness.h"
#include "button_smm/Buttons.h"
#include "button_smm/HostReset.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace buttontest;
using namespace ButtonSmm;

class ButtonTable : public ::testing::Test {
protected:
  void SetUp() override { ResetDriverState(); }
  void TearDown() override { ResetDriverState(); }
};

TEST_F(ButtonTable, BadArgumentsChangeNothing) {
  const UINT8 bytes[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(SetKeyCodes(0, bytes, 11), EFI_INVALID_PARAMETER);
  // A negative count would be stored as a KeyCount far beyond the ten bytes.
  EXPECT_EQ(SetKeyCodes(0, bytes, -1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(SetKeyCodes(6, bytes, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(SetKeyCodes(UINTN(-1), bytes, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(SetRepeat(6, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(SetActionMode(6, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(SetEnabled(6, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(RestoreDefaults(6), EFI_INVALID_PARAMETER);
  for (UINTN i = 0; i < kButtonCount; ++i)
    EXPECT_EQ(std::memcmp(&gLiveButtons[i], &DefaultButtons[i], sizeof(ButtonRecord)), 0) << i;
}

TEST_F(ButtonTable, SetKeyCodesKeepsTheBytesAfterTheCount) {
  const UINT8 bytes[10] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
  ASSERT_EQ(SetKeyCodes(1, bytes, 10), EFI_SUCCESS);
  EXPECT_EQ(KeyCodeLength(&gLiveButtons[1]), 10u);
  ASSERT_EQ(SetKeyCodes(1, bytes + 5, 2), EFI_SUCCESS);
  EXPECT_EQ(gLiveButtons[1].KeyCount, 2);
  const UINT8 stored[10] = {0x66, 0x77, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
  EXPECT_EQ(std::memcmp(gLiveButtons[1].KeyCodes, stored, 10), 0);
  EXPECT_EQ(KeyCodeLength(&gLiveButtons[1]), 2u);
  ASSERT_EQ(SetKeyCodes(1, bytes, 0), EFI_SUCCESS);
  EXPECT_EQ(KeyCodeLength(&gLiveButtons[1]), 0u);
  // On: the low byte only.
  ASSERT_EQ(SetRepeat(0, 0x100), EFI_SUCCESS);
  EXPECT_EQ(gLiveButtons[0].Flags & kButtonRepeat, 0);
  ASSERT_EQ(SetActionMode(0, 0x101), EFI_SUCCESS);
  EXPECT_EQ(gLiveButtons[0].Flags & kButtonActionMode, kButtonActionMode);
}

TEST_F(ButtonTable, FindButtonMatchesExactly) {
  EXPECT_EQ(FindButton(u"VolumeUpButton"), 0);
  EXPECT_EQ(FindButton(u"MicrophoneMuteButton"), 5);
  EXPECT_EQ(FindButton(u"VolumeUpButto"), -1);
  EXPECT_EQ(FindButton(u"VolumeUpButtonX"), -1);
  EXPECT_EQ(FindButton(u"volumeupbutton"), -1);
  EXPECT_EQ(FindButton(u""), -1);
}

TEST(ButtonEcBits, StartUpSetsEveryButtonsBitsRecorded) {
  ButtonBoard board;
  sim::EmbeddedController &ec = board.Ec();
  EXPECT_EQ(ec.Ram(0x6F5) & 0x05, 0x05);
  EXPECT_EQ(ec.Ram(0x6F4) & 0x20, 0x20);
  EXPECT_EQ(ec.Ram(0x6F3) & 0x06, 0x06);
  EXPECT_EQ(ec.Ram(0x6C5) & 0x37, 0x37);
  // Each button's three registers are written through the boot script.
  size_t writes = 0;
  for (const sim::ScriptEntry &e : board.Smm().Script().Entries())
    if (e.OpCode == 0 && e.Address == 0x8FF)
      ++writes;
  EXPECT_GE(writes, 18u);

  // Off clears exactly the button's bits.
  const uint8_t f5 = ec.Ram(0x6F5), c5 = ec.Ram(0x6C5), e5 = ec.Ram(0x6E5);
  ApplyButtonEcBits(2, FALSE);
  EXPECT_EQ(ec.Ram(0x6F5), f5 & ~0x04);
  EXPECT_EQ(ec.Ram(0x6C5), c5 & ~0x04);
  EXPECT_EQ(ec.Ram(0x6E5), e5);
}

TEST(NoCommandBuffer, HandlersDoNotTouchIt) {
  ButtonBoard board;
  ButtonSmm::gSmmCommandBufferAddress = nullptr;
  sim::OsCommandBuffer os = board.Smm().Os();
  std::vector<uint8_t> before(os.Bytes().begin(), os.Bytes().end());
  unsigned scis = board.Chipset().Ports().SciCount();
  CommandDispatcher(nullptr, nullptr);
  BrightnessSmiHandler(nullptr, nullptr);
  // A brightness step still changes the level, but notifies nobody.
  uint8_t level = board.Ec().BacklightLevel();
  board.Ec().Press(kBrightnessUp);
  EXPECT_NE(board.Ec().BacklightLevel(), level);
  EXPECT_EQ(board.Chipset().Ports().SciCount(), scis);
  // Without the OS's switch, key codes are taken from the queue and dropped.
  board.Ec().Press(kVolumeUp);
  EXPECT_TRUE(board.Ec().KeyboardStream().empty());
  EXPECT_EQ(board.Ec().Ram(0x6D5) & 0x01, 0);
  EXPECT_EQ(std::vector<uint8_t>(os.Bytes().begin(), os.Bytes().end()), before);
}

} // namespace
