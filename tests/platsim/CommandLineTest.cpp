// The command-line conventions (values after = or a space, "--", decimal or
// hex but never octal numbers, --version), the exit statuses of a run that
// went wrong without a bad input, and one run per state directory.
#include "PlatsimRun.h"

#include "sim/core/StateStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platsimtest::ReadFile;
using platsimtest::RunPlatsim;
using platsimtest::ScratchDir;
using platsimtest::Snapshot;

struct Accepted {
  const char *Name;
  std::vector<std::string> Args;
  const char *Expect; // part of stdout
};

const Accepted kAccepted[] = {
    {"Version", {"--version"}, "platsim 0.1.0"},
    {"EqualsForm", {"boot", "--boots=2"}, "Boot 2"},
    {"HexCount", {"boot", "--boots", "0x2"}, "Boot 2"},
    // 010 is ten, not eight: "operation 10".
    {"LeadingZeroIsDecimal", {"ppi", "010", "--keys", "F12"}, "PPI request: operation 10"},
    {"DashDashEndsOptions", {"ppi", "--keys=F12", "--", "6"}, "PPI request: operation 6"},
    {"HelpListsExitCodes", {"--help"}, "3  a fault rule failed no call"},
    {"RuleCounted",
     {"boot", "--fail", "SetVariable:Setup#1=EFI_DEVICE_ERROR", "--section", "faults"},
     "SetVariable:Setup#1=EFI_DEVICE_ERROR: failed 1 call"},
    {"CallsListsRuleNames", {"calls"}, "  SetVariable#"},
};

class AcceptedTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedTest, RunsAsWritten) {
  const Accepted &c = GetParam();
  auto r = RunPlatsim(c.Args);
  EXPECT_NE(r.Exit, 2) << r.Err;
  EXPECT_NE(r.Out.find(c.Expect), std::string::npos) << r.Out.substr(0, 2000);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, AcceptedTest, ::testing::ValuesIn(kAccepted),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(ExitStatusTest, AKeyTheScreenDoesNotTakeEndsTheRunWithAnError) {
  ScratchDir dir;
  fs::path state = dir.Path() / "state";
  for (const char *keys : {"F10", ""}) {
    auto r = RunPlatsim({"ppi", "6", "--keys", keys, "--state", state.string()});
    EXPECT_EQ(r.Exit, 1) << keys;
    EXPECT_NE(r.Out.find("no key is left"), std::string::npos) << keys;
    EXPECT_FALSE(fs::exists(state)) << "a failed run created its state directory";
  }
}

TEST(ExitStatusTest, ACallsListNamesEveryRuleThatThenFires) {
  // Every NAME#N the list gives is a rule that fails exactly that call.
  auto list = RunPlatsim({"calls"});
  ASSERT_EQ(list.Exit, 0) << list.Err;
  for (const char *rule : {"SetVariable#1", "LocateProtocol#2", "AllocatePool#3"}) {
    ASSERT_NE(list.Out.find(std::string("  ") + rule), std::string::npos) << rule;
    auto r = RunPlatsim(
        {"boot", "--fail", std::string(rule) + "=EFI_DEVICE_ERROR", "--section", "faults"});
    EXPECT_NE(r.Exit, 3) << rule << " never fired:\n" << r.Err;
    EXPECT_NE(r.Out.find(std::string(rule) + "=EFI_DEVICE_ERROR: failed 1 call"), std::string::npos)
        << rule;
  }
}

TEST(StateLockTest, ASecondRunOnAHeldDirectoryFailsAtOnceAndChangesNothing) {
  ScratchDir dir;
  fs::path state = dir.Path() / "state";
  ASSERT_EQ(RunPlatsim({"boot", "--state", state.string()}).Exit, 0);
  auto before = Snapshot(state);
  {
    sim::StateStore holder(state); // another run, as far as platsim can tell
    auto r = RunPlatsim({"boot", "--state", state.string()});
    EXPECT_EQ(r.Exit, 4);
    EXPECT_NE(r.Err.find(state.string()), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("pid " + std::to_string(::getpid())), std::string::npos) << r.Err;
  }
  EXPECT_EQ(Snapshot(state), before);
  auto next = RunPlatsim({"boot", "--state", state.string()});
  EXPECT_EQ(next.Exit, 0) << next.Err;
  EXPECT_NE(next.Out.find("Boot 2"), std::string::npos);
}

TEST(StateLockTest, AFailingOutputCommitsNothing) {
  ScratchDir dir;
  fs::path state = dir.Path() / "state";
  ASSERT_EQ(RunPlatsim({"boot", "--state", state.string()}).Exit, 0);
  auto before = Snapshot(state);
  // Writable when checked, gone when written: the run must not commit.
  auto r = RunPlatsim({"boot", "--state", state.string(), "--json", "/dev/full"});
  EXPECT_EQ(r.Exit, 5) << r.Err;
  EXPECT_EQ(Snapshot(state), before);
}

} // namespace
