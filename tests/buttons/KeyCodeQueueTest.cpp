// The key-code queue against the EC's slot status: partial and full flushes,
// codes that wait for free slots, a full queue, and the OS switch 0x1000.
#include "ButtonBoard.h"

#include <gtest/gtest.h>

namespace {

using namespace buttontest;
using Bytes = std::vector<uint8_t>;

// The EC leaves the slots alone: the test plays the EC's side.
json SlotsUntaken() {
  return {{"ec", {{"take_key_codes", false}}}};
}

Bytes Slots(ButtonBoard &board, unsigned first, unsigned count) {
  Bytes bytes;
  for (unsigned i = 0; i < count; ++i)
    bytes.push_back(board.Ec().Ram(uint16_t(0x690 + first + i)));
  return bytes;
}

TEST(KeyCodeQueue, CodesGoAfterTheSlotsStillPending) {
  struct Case {
    uint8_t SlotStatus; // EC 0x6D5 before the press
    unsigned FirstSlot;
    uint8_t After;
  };
  const Case cases[] = {
      {0x00, 0, 0x21}, {0x20, 0, 0x21}, // bit 0 clear: the EC took everything
      {0x21, 2, 0x41}, {0x31, 3, 0x51}, {0xD1, 13, 0xF1},
  };
  for (const Case &c : cases) {
    ButtonBoard board(SlotsUntaken());
    board.Ec().SetRam(0x6D5, c.SlotStatus);
    board.Ec().Press(kVolumeUp);
    EXPECT_EQ(Slots(board, c.FirstSlot, 2), (Bytes{0xE0, 0x30})) << int(c.SlotStatus);
    EXPECT_EQ(board.Ec().Ram(0x6D5), c.After) << int(c.SlotStatus);
  }
}

TEST(KeyCodeQueue, CodesThatDoNotFitWaitForTheNextEvent) {
  ButtonBoard board(SlotsUntaken());
  // One slot left: E0 goes to slot 14, 30 stays queued.
  board.Ec().SetRam(0x6D5, 0xE1);
  board.Ec().Press(kVolumeUp);
  EXPECT_EQ(Slots(board, 14, 1), Bytes{0xE0});
  EXPECT_EQ(board.Ec().Ram(0x6D5), 0xF1);

  // No slot left: nothing written to the slots, 0x6D5 written again as it was.
  board.Board().Trace().Clear();
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(board.Ec().Ram(0x6D5), 0xF1);
  for (const std::string &access : board.PortAccesses())
    EXPECT_NE(access.rfind("W1 089", 0), 0u) << access; // ports 0x890 to 0x89E: the slots

  // The EC took the slots: the waiting codes come first, in order.
  board.Ec().SetRam(0x6D5, 0xF0);
  board.Ec().Press(kVolumeDown);
  EXPECT_EQ(Slots(board, 0, 5), (Bytes{0x30, 0xE0, 0xB0, 0xE0, 0x2E}));
  EXPECT_EQ(board.Ec().Ram(0x6D5), 0x51);
}

TEST(KeyCodeQueue, AFullQueueDropsTheWholeNextSequence) {
  ButtonBoard board(SlotsUntaken());
  board.SetPasswordGuard(0);
  ASSERT_EQ(board.Command(1, {u"VolumeUpButton", u"1E"}, 1, 1, 2).Value, 0u);
  board.Ec().SetRam(0x6D5, 0xF1); // every slot pending
  // 31 one-byte codes fill the ring.
  for (int i = 0; i < 31; ++i) {
    if (i % 2 == 0)
      board.Ec().Press(kVolumeUp);
    else
      board.Ec().Release(kVolumeUp);
  }
  // Volume-down's two codes find the queue full.
  board.Ec().Press(kVolumeDown);

  Bytes delivered;
  for (int round = 0; round < 3; ++round) {
    board.Ec().SetRam(0x6D5, 0x00);
    board.Ec().Hold(); // both held: volume-down, pressed last, repeats
    uint8_t status = board.Ec().Ram(0x6D5);
    Bytes slots = Slots(board, 0, status >> 4);
    delivered.insert(delivered.end(), slots.begin(), slots.end());
  }
  Bytes expected;
  for (int i = 0; i < 31; ++i)
    expected.push_back(i % 2 == 0 ? 0x1E : 0x9E);
  // Volume-down's press was dropped, and so was its first repeat (the queue
  // was still full); the next two repeats queue behind the 31 codes.
  expected.insert(expected.end(), {0xE0, 0x2E, 0xE0, 0x2E});
  EXPECT_EQ(delivered, expected);
}

TEST(KeyCodeQueue, WithoutTheOsSwitchCodesAreDiscarded) {
  ButtonBoard board(SlotsUntaken());
  sim::OsCommandBuffer os = board.Smm().Os();
  ASSERT_EQ(os.Read32(0) & 0x1000, 0x1000u); // set at start-up
  os.Write32(0, os.Read32(0) & ~0x1000u);
  board.Board().Trace().Clear();
  board.Ec().Press(kVolumeUp);
  EXPECT_EQ(board.Ec().Ram(0x6D5), 0x00);
  EXPECT_EQ(Slots(board, 0, 2), (Bytes{0x00, 0x00}));
  // Taken from the queue all the same: switching back on sends only new codes.
  os.Write32(0, os.Read32(0) | 0x1000u);
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(Slots(board, 0, 2), (Bytes{0xE0, 0xB0}));
  EXPECT_EQ(board.Ec().Ram(0x6D5), 0x21);
}

TEST(KeyCodeQueue, VolumeUpInAcpiModeReachesTheKeyboardStream) {
  ButtonBoard board;
  board.Ec().Press(kVolumeUp);
  EXPECT_EQ(board.Ec().KeyboardStream(), (Bytes{0xE0, 0x30}));
  // The EC cleared the hand-over after taking them.
  EXPECT_EQ(board.Ec().Ram(0x6D5) & 0x01, 0);
  board.Ec().Release(kVolumeUp);
  EXPECT_EQ(board.Ec().KeyboardStream(), (Bytes{0xE0, 0x30, 0xE0, 0xB0}));
}

} // namespace
