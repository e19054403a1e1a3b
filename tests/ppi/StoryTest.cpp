// Whole requests across reboots on the board's TPM: the request, the screen
// and keys, the reset, the earlier boot phase carrying the operation out with
// TPM 1.2 commands under physical presence, and the result recorded by the
// next start-up.
#include "ppi/PpiTestBoard.h"

#include <gtest/gtest.h>

namespace ppitest {
namespace {

struct Flags {
  bool Disabled, Deactivated, Owned, OwnerInstall;
  bool operator==(const Flags &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Flags &f) {
  return out << "{disabled " << f.Disabled << ", deactivated " << f.Deactivated << ", owned "
             << f.Owned << ", owner install " << f.OwnerInstall << "}";
}

Flags Read(PpiTestBoard &board) {
  auto &chip = board.Tpm().Chip();
  auto permanent = chip.ReadPermanentFlags();
  return {permanent.Disable, permanent.Deactivated, chip.Owned(), permanent.Ownership};
}

struct Story {
  int Operation;
  const char *Keys;
  json Tpm;       // the TPM before the request
  bool Confirmed; // the request reaches the next boot
  Flags After;
};

void Tell(const Story &s) {
  SCOPED_TRACE("operation " + std::to_string(s.Operation) + ", keys " + s.Keys);
  const auto dir = testboard::FreshStateDirectory("ppi-test");
  json patch = StatePatch(StateRecord(uint8_t(s.Operation)));
  patch["console"] = {{"keys", s.Keys}};
  patch["tpm"] = s.Tpm;
  {
    PpiTestBoard first(patch, dir, false);
    EXPECT_EQ(first->Boot().Outcome, sim::BootOutcome::Reset);
    first->Commit();
  }
  // The operating system's request is gone in the next boot.
  json next = StatePatch(StateRecord(0));
  next["tpm"] = s.Tpm;
  PpiTestBoard second(next, dir, true);
  EXPECT_EQ(second->Boot().Outcome, sim::BootOutcome::Completed);
  const uint8_t op = uint8_t(s.Operation);
  if (s.Confirmed) {
    ASSERT_TRUE(second.Ppi().LastExecution());
    EXPECT_TRUE(second.Ppi().LastExecution()->Succeeded);
    EXPECT_EQ(second.PpiVar(), Bytes({0, op, 0, 0, 0}));
  } else {
    EXPECT_FALSE(second.Ppi().LastExecution());
    EXPECT_EQ(second.PpiVar(), Bytes({0, op, 0xF0, 0, 0xFF}));
  }
  EXPECT_EQ(second->Cmos().Get(0x6F), 0);
  EXPECT_EQ(second.TcgVar(), Bytes({0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(Read(second), s.After);
}

TEST(Story, RequestToResultAcrossReboots) {
  const json owned = {{"present", true}, {"owned", true}};
  const json fresh = {{"present", true}};
  const Story stories[] = {
      // A clear leaves the TPM disabled and deactivated; 14 and 22 turn it
      // back on.
      {5, "F3", owned, true, {true, true, false, true}},
      {5, "F4", owned, false, {false, false, true, true}},
      {2, "F1", fresh, true, {true, false, false, true}},
      {4, "F1", fresh, true, {false, true, false, true}},
      {7, "F1", fresh, true, {true, true, false, true}},
      {9, "F1", fresh, true, {false, false, false, false}},
      {11, "F1", fresh, true, {true, true, false, false}},
      {14, "F3", owned, true, {false, false, false, true}},
      {22, "F3", owned, true, {false, false, false, true}},
      {12, "F1", fresh, true, {false, false, false, true}},
  };
  for (const auto &s : stories)
    Tell(s);
}

TEST(Story, EnableAndActivateUndoDisableAndDeactivate) {
  const auto dir = testboard::FreshStateDirectory("ppi-test");
  // One boot of the same laptop with the given request; the TPM flags are
  // read before the board commits its state.
  auto boot = [&](int op, const char *keys, bool last, Flags *flags) {
    json patch = StatePatch(StateRecord(uint8_t(op)));
    patch["console"] = {{"keys", keys}};
    patch["tpm"] = {{"present", true}};
    PpiTestBoard board(patch, dir, last);
    sim::BootResult result = board->Boot();
    *flags = Read(board);
    if (op == 0)
      EXPECT_EQ(board.PpiVar(), Bytes({0, 10, 0, 0, 0}));
    board->Commit();
    return result.Outcome;
  };
  Flags flags;
  EXPECT_EQ(boot(7, "F1", false, &flags), sim::BootOutcome::Reset); // deactivate + disable
  EXPECT_EQ(flags, (Flags{false, false, false, true}));
  // Carried out at this boot's start; then enable + activate + owner install.
  EXPECT_EQ(boot(10, "F1", false, &flags), sim::BootOutcome::Reset);
  EXPECT_EQ(flags, (Flags{true, true, false, true}));
  EXPECT_EQ(boot(0, "", true, &flags), sim::BootOutcome::Completed);
  EXPECT_EQ(flags, (Flags{false, false, false, true}));
}

TEST(Story, FailingTpmCommandRecordsFfF1) {
  // The next boot has no TPM to carry the operation out: no success is
  // reported and the earlier boot phase records the failure.
  const auto dir = testboard::FreshStateDirectory("ppi-test");
  json patch = StatePatch(StateRecord(5));
  patch["console"] = {{"keys", "F3"}};
  patch["tpm"] = {{"present", true}};
  {
    PpiTestBoard first(patch, dir, false);
    first->Boot();
    first->Commit();
  }
  json next = StatePatch(StateRecord(0));
  next["tpm"] = {{"present", false}};
  PpiTestBoard second(next, dir, true);
  second->Boot();
  ASSERT_TRUE(second.Ppi().LastExecution());
  EXPECT_FALSE(second.Ppi().LastExecution()->Succeeded);
  EXPECT_EQ(second.PpiVar(), Bytes({0, 5, 0xF1, 0, 0xFF}));
}

} // namespace
} // namespace ppitest
