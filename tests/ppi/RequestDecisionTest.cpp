// Every operation code against the waiver bytes, the TPM owner flag and the
// confirmation mode: whether the screen shows, what is recorded, whether the
// platform resets.
#include "ppi/PpiTestBoard.h"

#include <gtest/gtest.h>

#include <set>

namespace ppitest {
namespace {

struct Config {
  const char *Name;
  std::initializer_list<std::pair<size_t, uint8_t>> Bytes;
  bool Owned;
  uint8_t Mode; // "TCG" byte 4 when the console connects
};

const std::set<int> kProvisioning = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 13};
const std::set<int> kClearClass = {5, 14, 17, 21, 22};
const std::set<int> kSetupFlag = {16, 18, 20};

bool Pending(int op, const Bytes &record) {
  if (record[21] != 0)
    return false;
  return (op >= 1 && op <= 22) || record[20] == 1;
}

bool Waived(int op, const Bytes &record, bool owned, uint8_t mode) {
  if (record[32] != 0 || mode == 2 || (record[20] == 1 && record[24] != 0))
    return true;
  if (kProvisioning.count(op) && record[25] && !owned)
    return true;
  if ((op == 5 || op == 21) && record[26])
    return true;
  if (op == 12 && record[27])
    return true;
  return (op == 14 || op == 22) && record[25] && record[26] && !owned;
}

void RunCase(const Config &config, int op) {
  SCOPED_TRACE(std::string(config.Name) + ", operation " + std::to_string(op));
  Bytes record = StateRecord(uint8_t(op), config.Bytes);
  json patch = StatePatch(record);
  patch["variables"] = {{"initial", {Variable("Setup", kSetupGuid, SetupPattern())}}};
  // The confirming key of the operation's class, then a key nobody waits for.
  patch["console"] = {{"keys", kClearClass.count(op) ? "F3,x" : "F1,x"}};
  PpiTestBoard board(patch);
  SetModeAfterStartup(board, config.Mode);
  SetOwnedAfterStartup(board, config.Owned);
  sim::BootResult result = board->Boot();

  const bool pending = Pending(op, record);
  const bool screen = pending && !Waived(op, record, config.Owned, config.Mode);
  EXPECT_EQ(board.Console().ScreenBegun(), screen ? 1u : 0u);
  EXPECT_EQ(board.Console().KeysRead().size(), screen ? 1u : 0u);
  const Bytes startupTcg = {0, 0, 0, 0, config.Mode, 0};
  if (!pending) {
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
    EXPECT_EQ(board.PpiVar(), Bytes(5, 0));
    EXPECT_EQ(board->Cmos().Get(0x6F), 0);
    EXPECT_EQ(board.TcgVar(), startupTcg);
    return;
  }
  if (kSetupFlag.count(op)) {
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
    // Only the screen records the operation first.
    EXPECT_EQ(board.PpiVar(), Bytes({0, uint8_t(screen ? op : 0), 0, 0, 0}));
    const size_t flag = op == 16 ? 834 : op == 18 ? 605 : 835;
    EXPECT_EQ(board.Setup(), SetupExpected(SetupPattern(), board.Setup(), {{flag, 1}}));
    EXPECT_EQ(board->Cmos().Get(0x6F), 0);
    return;
  }
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(result.ResetType, EfiResetCold);
  EXPECT_EQ(board.PpiVar(), Bytes({uint8_t(op), uint8_t(op), 0, 0, 0}));
  EXPECT_EQ(board.TcgVar(), Bytes({0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(board->Cmos().Get(0x6F), 1);
  EXPECT_EQ(board.Setup(), SetupExpected(SetupPattern(), board.Setup()));
}

// All 256 codes where the waivers do not depend on the code, and the codes
// that have waivers of their own under each waiver byte.
TEST(RequestDecision, EveryOperationCodeWithoutWaiver) {
  const Config config = {"no waiver", {}, false, 1};
  for (int op = 0; op <= 255; ++op)
    RunCase(config, op);
}

TEST(RequestDecision, EveryOperationCodeWithForcedRequestAndModes) {
  const Config configs[] = {
      {"byte 20 forces a request", {{20, 1}}, false, 1},
      {"byte 20 and 24 waive all", {{20, 1}, {24, 1}}, false, 1},
      {"byte 21 blocks", {{20, 1}, {21, 1}}, false, 1},
      {"confirmation mode 2", {}, false, 2},
  };
  for (const Config &config : configs)
    for (int op = 0; op <= 255; op += (op < 24 ? 1 : 29))
      RunCase(config, op);
}

TEST(RequestDecision, WaiverBytesAndOwnerFlag) {
  const Config configs[] = {
      {"byte 25", {{25, 1}}, false, 1},
      {"byte 25, owned", {{25, 1}}, true, 1},
      {"byte 26", {{26, 1}}, false, 1},
      {"bytes 25 and 26", {{25, 1}, {26, 1}}, false, 1},
      {"bytes 25 and 26, owned", {{25, 1}, {26, 1}}, true, 1},
      {"byte 27", {{27, 1}}, false, 1},
      {"byte 32", {{32, 1}}, false, 1},
      {"byte 24 without byte 20", {{24, 1}}, false, 1},
      {"byte 20 is 2", {{20, 2}, {24, 1}}, false, 1},
  };
  for (const Config &config : configs)
    for (int op = 0; op <= 23; ++op)
      RunCase(config, op);
}

// Operation 1 waived by byte 25 only while the TPM has no owner, with the
// owner flag read from a real chip at start-up.
TEST(RequestDecision, OwnerOfTheRealTpmBringsTheScreenBack) {
  for (bool owned : {false, true}) {
    SCOPED_TRACE(owned);
    json patch = StatePatch(StateRecord(1, {{25, 1}}));
    patch["tpm"] = {{"present", true}, {"owned", owned}};
    patch["console"] = {{"keys", "F1"}};
    PpiTestBoard board(patch);
    EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Reset);
    EXPECT_EQ(TpmPlatform::gTpmOwnedFlag, owned ? 1 : 0);
    EXPECT_EQ(board.Console().ScreenBegun(), owned ? 1u : 0u);
    EXPECT_EQ(board.PpiVar(), Bytes({1, 1, 0, 0, 0}));
  }
}

TEST(RequestDecision, NothingHappensWithoutRecordOrEnableBytes) {
  struct Case {
    const char *Name;
    json State;
  };
  Bytes noByte0 = StateRecord(5);
  noByte0[0] = 0;
  Bytes noByte2 = StateRecord(5);
  noByte2[2] = 0;
  const Case cases[] = {
      {"no record", {{"present", false}}},
      {"byte 0 zero", {{"present", true}, {"record", noByte0}}},
      {"byte 2 zero", {{"present", true}, {"record", noByte2}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    PpiTestBoard board({{"tpm_platform_state", c.State}, {"console", {{"keys", "F3"}}}});
    EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Completed);
    EXPECT_EQ(board.Console().ScreenBegun(), 0u);
    EXPECT_EQ(board.PpiVar(), Bytes(5, 0));
  }
}

} // namespace
} // namespace ppitest
