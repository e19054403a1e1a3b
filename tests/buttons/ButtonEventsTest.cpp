// Presses, repeats and releases of every button, in and outside ACPI mode:
// key codes in the keyboard stream or the button's action.
#include "ButtonBoard.h"

#include <gtest/gtest.h>

namespace {

using namespace buttontest;
using Bytes = std::vector<uint8_t>;

struct ButtonCase {
  const char *Name;
  uint8_t Mask;
  Bytes Make;         // key codes of a press in ACPI mode (empty: the action runs)
  bool Repeats;       // a held button presses again on the EC's next event
  int BrightnessStep; // percent a press changes the brightness by
};

const ButtonCase kButtons[] = {
    {"VolumeUpButton", kVolumeUp, {0xE0, 0x30}, true, 0},
    {"VolumeDownButton", kVolumeDown, {0xE0, 0x2E}, true, 0},
    {"BrightnessUpButton", kBrightnessUp, {}, true, +1},
    {"BrightnessDownButton", kBrightnessDown, {}, true, -1},
    {"VolumeMuteButton", kVolumeMute, {0xE0, 0x20}, false, 0},
};

Bytes Break(Bytes make) {
  for (uint8_t &b : make)
    b |= 0x80;
  return make;
}

class EveryButton : public ::testing::TestWithParam<std::tuple<ButtonCase, bool>> {};

TEST_P(EveryButton, PressHoldRelease) {
  const auto &[button, acpi] = GetParam();
  ButtonBoard board;
  board.SetAcpiMode(acpi);
  board.SetBrightness(50);
  unsigned scis = board.Chipset().Ports().SciCount();
  const uint8_t level = board.Ec().BacklightLevel();
  const bool keys = acpi && !button.Make.empty();

  board.Ec().Press(button.Mask);
  EXPECT_EQ(board.TakeKeys(), keys ? button.Make : Bytes{});
  EXPECT_EQ(board.GetBrightness(), uint32_t(50 + button.BrightnessStep));

  board.Ec().Hold();
  EXPECT_EQ(board.TakeKeys(), keys && button.Repeats ? button.Make : Bytes{});
  int held = button.Repeats ? 2 : 1;
  EXPECT_EQ(board.GetBrightness(), uint32_t(50 + held * button.BrightnessStep));

  board.Ec().Release(button.Mask);
  EXPECT_EQ(board.TakeKeys(), keys ? Break(button.Make) : Bytes{});
  EXPECT_EQ(board.GetBrightness(), uint32_t(50 + held * button.BrightnessStep));

  // Brightness steps notify the OS only in ACPI mode, once per step.
  unsigned steps = button.BrightnessStep != 0 ? held : 0;
  EXPECT_EQ(board.Chipset().Ports().SciCount() - scis, acpi ? steps : 0);
  if (button.BrightnessStep == 0)
    EXPECT_EQ(board.Ec().BacklightLevel(), level);
}

INSTANTIATE_TEST_SUITE_P(Buttons, EveryButton,
                         ::testing::Combine(::testing::ValuesIn(kButtons), ::testing::Bool()),
                         [](const auto &info) {
                           return std::string(std::get<0>(info.param).Name) +
                                  (std::get<1>(info.param) ? "Acpi" : "Legacy");
                         });

TEST(ButtonEvents, BitsWithoutAButtonProduceNothing) {
  ButtonBoard board;
  const uint32_t percent = board.GetBrightness();
  const uint8_t level = board.Ec().BacklightLevel();
  // 0x08, 0x40 and 0x80 belong to no entry; the microphone-mute entry has no bit.
  for (uint8_t mask : {0x08, 0x40, 0x80}) {
    board.Ec().Press(mask);
    board.Ec().Hold();
    board.Ec().Release(mask);
  }
  EXPECT_TRUE(board.TakeKeys().empty());
  EXPECT_EQ(board.GetBrightness(), percent);
  EXPECT_EQ(board.Ec().BacklightLevel(), level);
}

TEST(ButtonEvents, OnlyTheMostRecentlyPressedButtonRepeats) {
  ButtonBoard board;
  board.Ec().Press(kVolumeUp);
  // The event of the second press is also the next event for held volume-up,
  // still the last pressed before it: it repeats once, ahead in table order.
  board.Ec().Press(kVolumeDown);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x30, 0xE0, 0x30, 0xE0, 0x2E}));
  board.Ec().Hold();
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x2E}));
  // Volume-down released: volume-up stays held but was not the last pressed.
  board.Ec().Release(kVolumeDown);
  board.Ec().Hold();
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0xAE}));
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0xB0}));
  // All released: the next press repeats again.
  board.Ec().Press(kVolumeUp);
  board.Ec().Hold();
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x30, 0xE0, 0x30}));
}

TEST(ButtonEvents, SeveralButtonsInOneEventGoInTableOrder) {
  ButtonBoard board;
  board.Ec().Press(kVolumeMute | kVolumeUp | kVolumeDown);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x30, 0xE0, 0x2E, 0xE0, 0x20}));
  board.Ec().Release(kVolumeMute | kVolumeUp | kVolumeDown);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0xB0, 0xE0, 0xAE, 0xE0, 0xA0}));
}

TEST(ButtonEvents, AnEmptyEventRegisterEndsTheHandler) {
  ButtonBoard board;
  board.Board().Trace().Clear();
  board.Chipset().RaiseGpi(6);
  // Read 0x6C1 and write it back; the state byte and the slots stay untouched.
  EXPECT_EQ(board.PortAccesses(),
            (std::vector<std::string>{"W1 08FF=06", "R1 08C1=00", "R1 0A03=C3", "W1 08FF=03",
                                      "W1 08FF=06", "W1 08C1=00", "R1 0A03=C3", "W1 08FF=03"}));
}

TEST(ButtonEvents, ActionModeAndDisabledButtons) {
  ButtonBoard board;
  // Action mode: volume-up runs its (empty) action instead of sending codes.
  EXPECT_EQ(board.Command(4, {u"VolumeUpButton"}, 1).Value, 0u);
  board.Ec().Press(kVolumeUp);
  board.Ec().Release(kVolumeUp);
  EXPECT_TRUE(board.TakeKeys().empty());
  EXPECT_EQ(board.Command(4, {u"VolumeUpButton"}, 0).Value, 0u);
  board.Ec().Press(kVolumeUp);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x30}));
  board.Ec().Release(kVolumeUp);
  board.TakeKeys();

  // Disabled: no event at all, also no brightness step.
  uint32_t percent = board.GetBrightness();
  EXPECT_EQ(board.Command(2, {u"VolumeDownButton"}, 0).Value, 0u);
  EXPECT_EQ(board.Command(2, {u"BrightnessUpButton"}, 0).Value, 0u);
  board.Ec().Press(kVolumeDown | kBrightnessUp);
  board.Ec().Release(kVolumeDown | kBrightnessUp);
  EXPECT_TRUE(board.TakeKeys().empty());
  EXPECT_EQ(board.GetBrightness(), percent);
}

TEST(ButtonEvents, ShorterSequenceEndsAtItsCount) {
  ButtonBoard board;
  board.SetPasswordGuard(0);
  ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"E0301E2F"}, 1, 1, 2).Value, 0u);
  board.Ec().Press(kVolumeUp);
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0xE0, 0x30, 0x1E, 0x2F, 0xE0, 0xB0, 0x9E, 0xAF}));
  // The two bytes left behind by the longer sequence are not sent.
  ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"1E"}, 1, 1, 2).Value, 0u);
  board.Ec().Press(kVolumeUp);
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0x1E, 0x9E}));
  // A zero byte still ends a sequence early.
  ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"2F0030"}, 1, 1, 2).Value, 0u);
  board.Ec().Press(kVolumeUp);
  EXPECT_EQ(board.TakeKeys(), (Bytes{0x2F}));
}

} // namespace
