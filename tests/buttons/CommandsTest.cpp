// Software SMI 0xE3: every command's reply, the password guard and malformed
// requests.
#include "ButtonBoard.h"

#include <gtest/gtest.h>

namespace {

using namespace buttontest;

constexpr uint32_t kSucceeded = 0x10, kHandled = 0x80;

TEST(Commands, UnknownCommandIndexOnlyTouchesTheStatusBits) {
  ButtonBoard board;
  board.Smm().Os().Write32(0, 0x1110);
  Reply reply = board.Command(7, {u"VolumeUpButton"}, 0, 0x55, 0x66, 1);
  EXPECT_EQ(reply.Status, 0x1180u);
  EXPECT_EQ(reply.Value, 7u);
  EXPECT_EQ(reply.Settings, 0x55u);
  EXPECT_EQ(reply.DefaultSettings, 0x66u);
  EXPECT_EQ(reply.Strings, std::vector<std::u16string>{u"VolumeUpButton"});
}

TEST(Commands, GetButtonInfoOfEveryButton) {
  struct Case {
    std::u16string Name;
    std::u16string Keys;
    uint32_t ActionMode, Current, Default;
  };
  const Case cases[] = {
      {u"VolumeUpButton", u"E030", 0, 0x01010102, 0x10102},
      {u"VolumeDownButton", u"E02E", 0, 0x01010102, 0x10102},
      {u"BrightnessUpButton", u"E017", 1, 0x01010102, 0x10102},
      {u"BrightnessDownButton", u"E012", 1, 0x01010102, 0x10102},
      {u"VolumeMuteButton", u"E020", 0, 0x01000102, 0x102},
      {u"MicrophoneMuteButton", u"", 0, 0x01000102, 0x102},
  };
  ButtonBoard board;
  for (const Case &c : cases) {
    board.Smm().Os().Write32(0, 0x1110); // 0x10 is cleared by every command
    Reply reply = board.Command(0, {c.Name, u"tail"}, 0, 0, 0, 3);
    EXPECT_EQ(reply.Strings[0], c.Keys) << sim::ToUtf8(c.Name);
    EXPECT_EQ(reply.Strings[1], c.Keys) << sim::ToUtf8(c.Name);
    EXPECT_EQ(reply.Value, c.ActionMode) << sim::ToUtf8(c.Name);
    EXPECT_EQ(reply.Settings, c.Current) << sim::ToUtf8(c.Name);
    EXPECT_EQ(reply.DefaultSettings, c.Default) << sim::ToUtf8(c.Name);
    EXPECT_EQ(reply.Status, 0x1180u) << sim::ToUtf8(c.Name);
  }
}

TEST(Commands, GetButtonInfoWipesTheRestOfTheRequestUpToItsNul) {
  ButtonBoard board;
  // Reply "E030\0E030\0" (10 units) over the 15 units of the name: units 10
  // to 13 are wiped, the name's NUL and the string after it stay.
  Reply reply = board.Command(0, {u"VolumeUpButton", u"next"}, 0, 0, 0, 2);
  EXPECT_EQ(board.Smm().Os().Units(28, 20), std::u16string(u"E030\0E030\0\0\0\0\0\0next\0", 20));

  // Unknown (also a wrong case): zeros, and the whole name wiped.
  board.Smm().Os().Write32(0, 0x1110);
  reply = board.Command(0, {u"volumeupbutton", u"next"}, 0, 0xAA, 0xBB, 0);
  EXPECT_EQ(reply.Value, 0u);
  EXPECT_EQ(reply.Settings, 0u);
  EXPECT_EQ(reply.DefaultSettings, 0u);
  EXPECT_EQ(reply.Status, 0x1180u);
  EXPECT_EQ(board.Smm().Os().Units(28, 20), std::u16string(15, u'\0') + u"next" + u'\0');

  // A reply longer than the name runs on into the next string, up to its NUL.
  ButtonBoard other;
  other.SetPasswordGuard(0);
  ASSERT_EQ(other.Command(1, {u"VolumeUpButton", u"010203040506070809"}, 0, 1, 2).Value, 0u);
  other.Command(0, {u"VolumeUpButton", u"abcdefghijklmnopqrstuvwxyz", u"keep"}, 0, 0, 0, 0);
  EXPECT_EQ(other.Smm().Os().Units(28, 4 + 1 + 18 + 1 + 4), std::u16string(u"E030\0", 5) +
                                                                u"010203040506070809" + u'\0' +
                                                                std::u16string(4, u'\0'));
  EXPECT_EQ(other.Smm().Os().ReadStrings(1, 28 + 2 * (15 + 27)),
            std::vector<std::u16string>{u"keep"});
}

TEST(Commands, SetButtonStoresKeyCodesRepeatAndTiming) {
  struct Case {
    std::u16string Text;
    uint32_t Delay, Rate;
    uint32_t Result;
    std::u16string Stored; // live key codes afterwards
    uint8_t Timing;        // EC 0x6E4 afterwards
    bool Parsed;           // the text was stored (and Repeat set from the argument)
  };
  const Case cases[] = {
      {u"E030", 2, 1, 0, u"E030", 0x14, true},
      {u"E03", 2, 1, 0, u"E0", 0x14, true},
      {u"1e2F3a", 3, 15, 0, u"1E2F3A", 0xF6, true},
      {u"E0 30", 2, 1, 5, u"E030", 0x14, false},
      {u"", 2, 1, 5, u"E030", 0x14, false},
      {u"0102030405060708090A", 2, 1, 5, u"E030", 0x14, false},
      {u"xx", 2, 1, 5, u"E030", 0x14, false},
      // Timing out of range: result 5, but the key codes already changed.
      {u"1E", 4, 1, 5, u"1E", 0x14, true},
      {u"1E", 0, 16, 5, u"1E", 0x14, true},
      {u"1E", 0, 0, 0, u"1E", 0x00, true},
  };
  for (const Case &c : cases) {
    ButtonBoard board;
    board.SetPasswordGuard(0);
    board.Smm().Os().Write32(0, 0x1000);
    Reply reply = board.Command(1, {u"VolumeUpButton", c.Text}, 0, c.Rate, c.Delay, 0);
    EXPECT_EQ(reply.Value, c.Result) << sim::ToUtf8(c.Text);
    EXPECT_EQ(reply.Status, c.Result == 0 ? 0x1090u : 0x1080u) << sim::ToUtf8(c.Text);
    EXPECT_EQ(board.Ec().Ram(0x6E4), c.Timing) << sim::ToUtf8(c.Text);
    Reply info = board.Command(0, {u"VolumeUpButton"});
    EXPECT_EQ(info.Strings[1], c.Stored) << sim::ToUtf8(c.Text);
    EXPECT_EQ(info.Strings[0], u"E030") << sim::ToUtf8(c.Text);
    // Repeat was switched off (argument 0) by every text that parsed.
    EXPECT_EQ(info.Settings & 0x10000, c.Parsed ? 0u : 0x10000u) << sim::ToUtf8(c.Text);
    if (c.Result == 0)
      EXPECT_EQ(info.Settings & 0xFFFF, c.Delay | c.Rate << 8) << sim::ToUtf8(c.Text);
  }
}

TEST(Commands, EnableRestoreAndActionMode) {
  ButtonBoard board;
  board.SetPasswordGuard(0);
  const uint8_t output = board.Chipset().Ports().Output();
  ASSERT_EQ(output & 0x80, 0x80); // indicator off after start-up

  // Disabling the microphone-mute entry lights the indicator (bit 7 clear).
  Reply reply = board.Command(2, {u"MicrophoneMuteButton"}, 0, 0, 0, 0);
  EXPECT_EQ(reply.Value, 0u);
  EXPECT_EQ(reply.Status & (kSucceeded | kHandled), kSucceeded | kHandled);
  EXPECT_EQ(board.Chipset().Ports().Output() & 0x80, 0);
  EXPECT_EQ(board.Command(0, {u"MicrophoneMuteButton"}).Settings, 0x00000102u);
  EXPECT_EQ(board.Command(2, {u"MicrophoneMuteButton"}, 0x100, 0, 0, 0).Value, 0u); // low byte 0
  EXPECT_EQ(board.Chipset().Ports().Output() & 0x80, 0);
  EXPECT_EQ(board.Command(2, {u"MicrophoneMuteButton"}, 1, 0, 0, 0).Value, 0u);
  EXPECT_EQ(board.Chipset().Ports().Output() & 0x80, 0x80);

  // Other entries leave the indicator alone.
  EXPECT_EQ(board.Command(2, {u"VolumeUpButton"}, 0, 0, 0, 0).Value, 0u);
  EXPECT_EQ(board.Chipset().Ports().Output() & 0x80, 0x80);
  EXPECT_EQ(board.Command(0, {u"VolumeUpButton"}).Settings, 0x00010102u);

  // Action mode.
  EXPECT_EQ(board.Command(4, {u"VolumeMuteButton"}, 1, 0, 0, 0).Value, 0u);
  EXPECT_EQ(board.Command(0, {u"VolumeMuteButton"}).Value, 1u);

  // Restore: the whole record and the shared timing.
  ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"1E"}, 0, 15, 3).Value, 0u);
  ASSERT_EQ(board.Ec().Ram(0x6E4), 0xF6);
  reply = board.Command(3, {u"VolumeUpButton"}, 0, 0, 0, 0);
  EXPECT_EQ(reply.Value, 0u);
  EXPECT_EQ(board.Ec().Ram(0x6E4), 0x14);
  Reply info = board.Command(0, {u"VolumeUpButton"});
  EXPECT_EQ(info.Strings[1], u"E030");
  EXPECT_EQ(info.Settings, 0x01010102u);
  // Another button's record is not restored by it, only the shared timing.
  EXPECT_EQ(board.Command(0, {u"VolumeMuteButton"}).Value, 1u);
}

// Commands 1, 2 and 4 take their on/off flag from the argument's low byte
// alone: any bit of it switches on, bits above it are ignored.
TEST(Commands, FlagIsTheArgumentsLowByte) {
  struct Case {
    uint32_t Argument;
    bool On;
  };
  const Case cases[] = {
      {1, true}, {0x80, true}, {0x101, true}, {0x100, false}, {0xFFFFFF00, false}};
  for (const Case &c : cases) {
    ButtonBoard board;
    board.SetPasswordGuard(0);
    // Repeat, with the key codes and timing it comes with.
    ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"E030"}, c.Argument, 1, 2).Value, 0u);
    EXPECT_EQ(board.Command(0, {u"VolumeUpButton"}).Settings & kCbSettingsRepeat,
              c.On ? kCbSettingsRepeat : 0u)
        << std::hex << c.Argument;
    // Enabled.
    ASSERT_EQ(board.Command(2, {u"VolumeMuteButton"}, c.Argument, 0, 0, 0).Value, 0u);
    EXPECT_EQ(board.Command(0, {u"VolumeMuteButton"}).Settings & kCbSettingsEnabled,
              c.On ? kCbSettingsEnabled : 0u)
        << std::hex << c.Argument;
    // Action mode.
    ASSERT_EQ(board.Command(4, {u"VolumeDownButton"}, c.Argument, 0, 0, 0).Value, 0u);
    EXPECT_EQ(board.Command(0, {u"VolumeDownButton"}).Value, c.On ? 1u : 0u)
        << std::hex << c.Argument;
  }
}

// Start-up sets the shared repeat timing to delay 2, rate 1, whatever timing
// the platform data block carries.
TEST(Commands, StartUpTimingOverridesThePlatformData) {
  for (auto [delay, rate] : {std::pair{3, 5}, std::pair{0, 0}, std::pair{2, 1}}) {
    ButtonBoard board({{"platform_data", {{"repeat_delay", delay}, {"repeat_rate", rate}}}});
    EXPECT_EQ(board.Command(0, {u"VolumeUpButton"}).Settings & 0xFFFF, 0x0102u) << delay << rate;
    EXPECT_EQ(board.Ec().Ram(0x6E4), 0x14) << delay << rate;
  }
}

TEST(Commands, UnknownNamesGiveResultOne) {
  ButtonBoard board;
  board.SetPasswordGuard(0);
  for (uint32_t command : {1u, 2u, 3u, 4u}) {
    board.Smm().Os().Write32(0, 0x1010);
    Reply reply = board.Command(command, {u"VolumeUp", u"E030"}, 0, 0, 0, 0);
    EXPECT_EQ(reply.Value, 1u) << command;
    EXPECT_EQ(reply.Status, 0x1080u) << command;
  }
}

// ---- The password guard ------------------------------------------------------

struct PasswordCase {
  const char *What;
  int Guard;                     // "Setup" byte 771; -1: no "Setup" variable
  const char16_t *AdminPassword; // null: none set
  int State;                     // GetPasswordState override; -1: derived
  std::u16string Given;
  uint32_t Result;
  int CheckCalls; // calls of CheckPassword
  std::u16string Checked;
};

class PasswordGuard : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordGuard, ChangingCommands) {
  const PasswordCase &c = GetParam();
  for (uint32_t command : {1u, 2u, 3u}) {
    ButtonBoard board;
    board.SetPasswordGuard(c.Guard);
    if (c.AdminPassword)
      board.Passwords().SetAdminPassword(std::u16string(c.AdminPassword));
    if (c.State >= 0)
      board.Passwords().SetState(uint32_t(c.State));
    std::vector<std::u16string> strings = {u"VolumeDownButton"};
    if (command == 1)
      strings.push_back(u"1E");
    strings.push_back(c.Given);
    Reply reply = board.Command(command, strings, 1, 1, 2, 0);
    EXPECT_EQ(reply.Value, c.Result) << c.What << " command " << command;
    ASSERT_EQ(board.Passwords().CheckCalls().size(), size_t(c.CheckCalls)) << c.What;
    if (c.CheckCalls) {
      const auto &call = board.Passwords().CheckCalls()[0];
      EXPECT_EQ(call.Name, u"AdminPW");
      EXPECT_EQ(call.Kind, 1u);
      EXPECT_EQ(call.Password, c.Checked) << c.What;
      EXPECT_EQ(call.Length, 2 * c.Checked.size()) << c.What;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordGuard,
    ::testing::Values(
        PasswordCase{"guard off: no password read", 0, u"secret", -1, u"garbage", 0, 0, u""},
        PasswordCase{"right password", 1, u"secret", -1, u"<utf-16/>secret", 0, 1, u"secret"},
        PasswordCase{"wrong password", 1, u"secret", -1, u"<utf-16/>secreT", 6, 1, u"secreT"},
        PasswordCase{"spaces and mixed case", 1, u"p4ssw0", -1, u" < Utf -  16/ >p4ssw0", 0, 1,
                     u"p4ssw0"},
        PasswordCase{"spaces after the marker belong to the password", 1, u" pw", -1,
                     u"<UTF-16/> pw", 0, 1, u" pw"},
        PasswordCase{"no marker", 1, u"secret", -1, u"secret", 6, 0, u""},
        PasswordCase{"marker cut short", 1, u"secret", -1, u"<utf-16", 6, 0, u""},
        PasswordCase{"marker alone, no password set", 1, nullptr, -1, u"<UTF-16/>", 0, 0, u""},
        PasswordCase{"marker alone, state 0", 1, nullptr, 0, u"<UTF-16/>", 6, 0, u""},
        PasswordCase{"empty, no password set", 1, nullptr, -1, u"", 0, 0, u""},
        PasswordCase{"empty, password set", 1, u"secret", -1, u"", 6, 0, u""},
        PasswordCase{"no Setup variable: guarded", -1, u"secret", -1, u"plain", 6, 0, u""},
        PasswordCase{"no Setup variable, right password", -1, u"secret", -1, u"<utf-16/>secret", 0,
                     1, u"secret"}));

TEST(PasswordGuardService, MissingServiceRefusesEveryPassword) {
  for (std::u16string given : {u"", u"<utf-16/>", u"<utf-16/>secret"}) {
    ButtonBoard board({}, [](smmtest::SmmBoard &b) {
      b.Board().Find<sim::PasswordService>()->SetPresent(false);
    });
    board.SetPasswordGuard(1);
    EXPECT_EQ(board.Command(2, {u"VolumeUpButton", given}, 0, 0, 0, 0).Value, 6u);
    EXPECT_EQ(board.Passwords().StateCalls(), 0u);
  }
}

TEST(PasswordGuardService, SetupLargerThanItsReaderCountsAsUnreadable) {
  ButtonBoard board;
  std::vector<uint8_t> setup(929, 0);
  board.Board().Variables().Set(u"Setup", &kSetupGuid, 7, setup.size(), setup.data());
  EXPECT_EQ(board.Command(2, {u"VolumeUpButton", u"plain"}, 0, 0, 0, 0).Value, 6u);
}

// A "Setup" that ends before byte 771 has no guard to read: the password is
// required. Each case first runs with a full "Setup" whose guard is 0, so a
// reader that looked past the short variable would find that 0 again.
TEST(PasswordGuardService, SetupShorterThanTheGuardCountsAsUnreadable) {
  struct Case {
    size_t Size;
    uint8_t Guard; // byte 771 when the variable holds it
    uint32_t Result;
  };
  const Case cases[] = {{700, 0, 6}, {771, 0, 6}, {772, 0, 0}, {772, 1, 6}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Size);
    ButtonBoard board;
    board.Passwords().SetAdminPassword(u"secret");
    board.SetPasswordGuard(0);
    ASSERT_EQ(board.Command(2, {u"VolumeUpButton", u"plain"}, 0, 0, 0, 0).Value, 0u);
    std::vector<uint8_t> setup(c.Size, 0);
    if (c.Size > 771)
      setup[771] = c.Guard;
    board.Board().Variables().Set(u"Setup", &kSetupGuid, 7, setup.size(), setup.data());
    EXPECT_EQ(board.Command(2, {u"VolumeUpButton", u"plain"}, 0, 0, 0, 0).Value, c.Result);
  }
}

TEST(PasswordGuardService, ActionModeNeverAsks) {
  ButtonBoard board;
  board.SetPasswordGuard(1);
  board.Passwords().SetAdminPassword(u"secret");
  EXPECT_EQ(board.Command(4, {u"VolumeUpButton"}, 1, 0, 0, 0).Value, 0u);
  EXPECT_EQ(board.Passwords().CheckCalls().size(), 0u);
  EXPECT_EQ(board.Passwords().StateCalls(), 0u);
}

} // namespace
