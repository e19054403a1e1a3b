// The key table: which key ends the wait with which answer, per operation
// class and confirmation mode; the override protocol; a wait without keys.
#include "Platform/PpiConfirmOverrideProtocol.h"
#include "ppi/PpiTestBoard.h"

#include <gtest/gtest.h>

namespace ppitest {
namespace {

TEST(KeyWait, KeyTable) {
  struct Case {
    int Operation;
    uint8_t Mode;
    const char *Keys;
    bool Confirmed;
    size_t KeysRead;
  };
  const Case cases[] = {
      // Clear class: F3 confirms, F4 refuses, F1 means nothing.
      {5, 1, "F3", true, 1},
      {5, 1, "F4", false, 1},
      {5, 1, "F1,Enter,y,Esc,F3", true, 5},
      {22, 1, "F1,F4", false, 2},
      {17, 0, "F3", true, 1},
      // Other operations: F1 confirms; F3 and F4 mean nothing.
      {1, 1, "F1", true, 1},
      {6, 1, "F3,F4,F1", true, 3},
      {12, 1, "Enter,F1", true, 2},
      // F2 refuses in mode 1 only, for every class.
      {1, 1, "F2", false, 1},
      {5, 1, "F2", false, 1},
      {1, 0, "F2,F1", true, 2},
      {5, 0, "F2,F4", false, 2},
      {1, 2 + 1, "F2,F1", true, 2}, // mode 3: F2 ignored too
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("operation " + std::to_string(c.Operation) + ", mode " + std::to_string(c.Mode) +
                 ", keys " + c.Keys);
    json patch = StatePatch(StateRecord(uint8_t(c.Operation)));
    patch["console"] = {{"keys", std::string(c.Keys) + ",F1,F3"}};
    PpiTestBoard board(patch);
    SetModeAfterStartup(board, c.Mode);
    sim::BootResult result = board->Boot();
    EXPECT_EQ(board.Console().KeysRead().size(), c.KeysRead);
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
    const uint8_t op = uint8_t(c.Operation);
    EXPECT_EQ(board.PpiVar(),
              c.Confirmed ? Bytes({op, op, 0, 0, 0}) : Bytes({0, op, 0xF0, 0, 0xFF}));
    EXPECT_EQ(board->Cmos().Get(0x6F), c.Confirmed ? 1 : 0);
  }
}

TEST(KeyWait, OverrideDecidesWithoutReadingKeys) {
  for (bool decision : {true, false}) {
    SCOPED_TRACE(decision);
    json patch = StatePatch(StateRecord(5));
    patch["console"] = {{"keys", "F4,F3"}};
    patch["ppi"] = {{"override", decision}};
    PpiTestBoard board(patch);
    board->Boot();
    EXPECT_TRUE(board.Console().KeysRead().empty());
    EXPECT_EQ(board.Console().ScreenBegun(), 1u); // the screen is still drawn
    EXPECT_EQ(board.PpiVar(), decision ? Bytes({5, 5, 0, 0, 0}) : Bytes({0, 5, 0xF0, 0, 0xFF}));
  }
}

// The override's GUID installed with a NULL interface decides nothing: the
// keys do.
TEST(KeyWait, OverrideGuidWithoutAnInterfaceLeavesItToTheKeys) {
  json patch = StatePatch(StateRecord(5));
  patch["console"] = {{"keys", "F4,F3"}};
  PpiTestBoard board(patch);
  board->PowerOn();
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(board->BootServices()->InstallProtocolInterface(
                &handle, &gPpiConfirmOverrideProtocolGuid, EFI_NATIVE_INTERFACE, nullptr),
            EFI_SUCCESS);
  sim::BootResult result = board->Run([](sim::Board &b) { b.Sequence().Run(b); });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(board.Console().KeysRead().size(), 1u);
  EXPECT_EQ(board.PpiVar(), Bytes({0, 5, 0xF0, 0, 0xFF}));
}

TEST(KeyWait, NoKeyLeftHangsTheBoardAtTheScreen) {
  json patch = StatePatch(StateRecord(5));
  patch["console"] = {{"keys", "F1,F1"}};
  PpiTestBoard board(patch);
  sim::BootResult result = board->Boot();
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Hung);
  EXPECT_EQ(result.Phase, "console-connect");
  // The request byte stays recorded while the screen waits.
  EXPECT_EQ(board.PpiVar(), Bytes({5, 5, 0, 0, 0}));
}

TEST(KeyWait, ScreenMissingStillWaitsForTheKey) {
  json patch = StatePatch(StateRecord(1));
  patch["console"] = {{"keys", "F1"}, {"text_screen", "none"}};
  PpiTestBoard board(patch);
  EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(board.Console().KeysRead().size(), 1u);
  EXPECT_TRUE(board.Transcript().empty());
  EXPECT_EQ(board.PpiVar(), Bytes({1, 1, 0, 0, 0}));
}

} // namespace
} // namespace ppitest
