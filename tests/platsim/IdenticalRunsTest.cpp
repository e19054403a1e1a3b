// Two runs of the same command on the same board print the same text and
// write the same JSON and event log, byte for byte: a known-good report can
// be kept and diffed against.
#include "PlatsimRun.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using platsimtest::ReadFile;
using platsimtest::RunPlatsim;
using platsimtest::ScratchDir;

struct Story {
  const char *Name;
  std::vector<std::string> Args;
  bool EventLog = false;
};

const Story kStories[] = {
    {"Boot", {"boot", "--boots", "2"}, true},
    {"BootWithFault", {"boot", "--fail", "SetVariable:Setup#1=EFI_DEVICE_ERROR"}, true},
    {"S3", {"s3", "--cycles", "2"}},
    {"PowerButton", {"power-button"}},
    {"Press", {"press", "volume-up", "--hold", "3"}},
    {"SmiButtonInfo", {"smi", "button-info", "mute"}},
    {"SmiBrightness", {"smi", "brightness", "set", "40"}},
    {"Ppi", {"ppi", "6", "--keys", "F10,F12"}},
    {"Calls", {"calls"}},
};

class IdenticalRunsTest : public ::testing::TestWithParam<Story> {};

TEST_P(IdenticalRunsTest, TwoRunsGiveTheSameBytes) {
  const Story &s = GetParam();
  ScratchDir dir;
  std::string outputs[2][3];
  int exits[2];
  for (int run = 0; run < 2; ++run) {
    fs::path json = dir.Path() / ("run" + std::to_string(run) + ".json");
    fs::path log = dir.Path() / ("run" + std::to_string(run) + ".log");
    auto args = s.Args;
    args.insert(args.end(), {"--json", json.string()});
    if (s.EventLog)
      args.insert(args.end(), {"--event-log", log.string()});
    auto r = RunPlatsim(args);
    exits[run] = r.Exit;
    outputs[run][0] = r.Out;
    outputs[run][1] = ReadFile(json);
    outputs[run][2] = s.EventLog ? ReadFile(log) : "";
    ASSERT_FALSE(outputs[run][1].empty()) << r.Err;
  }
  EXPECT_EQ(exits[0], exits[1]);
  EXPECT_EQ(outputs[0][0], outputs[1][0]) << "text report";
  EXPECT_EQ(outputs[0][1], outputs[1][1]) << "JSON";
  EXPECT_EQ(outputs[0][2], outputs[1][2]) << "event log";
  if (s.EventLog)
    EXPECT_GT(outputs[0][2].size(), 32u);
}

INSTANTIATE_TEST_SUITE_P(Commands, IdenticalRunsTest, ::testing::ValuesIn(kStories),
                         [](const auto &info) { return std::string(info.param.Name); });

} // namespace
