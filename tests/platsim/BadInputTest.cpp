// Every bad input a user can give platsim ends the run with a message naming
// the cause, the documented exit status, and the state directory exactly as
// it was (no temporary folder left behind either).
#include "PlatsimRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

namespace fs = std::filesystem;
using platsimtest::RunPlatsim;
using platsimtest::ScratchDir;
using platsimtest::Snapshot;
using platsimtest::WriteFile;

// Files a case plants before the run: in the state directory (committed
// state of one earlier boot) or beside it.
using Plant = std::function<void(const fs::path &state, const fs::path &dir)>;

struct BadInput {
  const char *Name;
  std::vector<std::string> Args; // {state}, {dir} and {board} are replaced
  const char *Board;             // written to {board}; nullptr: none
  int Exit;
  const char *Message; // part of what platsim prints on stderr
  Plant Prepare = nullptr;
};

fs::path Committed(const fs::path &state) {
  return state / fs::read_symlink(state / "current");
}

void PlantStateFile(const fs::path &state, const char *name, const std::string &text) {
  WriteFile(Committed(state) / name, text);
}

const std::vector<BadInput> kCases = {
    // ---- Command line ----
    {"NoCommand", {}, nullptr, 2, "usage: platsim COMMAND"},
    {"UnknownCommand", {"bot"}, nullptr, 2, "unknown command \"bot\""},
    {"MissingValue", {"boot", "--boots"}, nullptr, 2, "--boots needs a value"},
    {"ValueIsAnOption",
     {"boot", "--board", "--state", "{state}"},
     nullptr,
     2,
     "--board needs a value"},
    {"BootsZero", {"boot", "--boots", "0"}, nullptr, 2, "--boots takes a number from 1 to 100"},
    {"BootsTooMany", {"boot", "--boots=101"}, nullptr, 2, "--boots takes a number from 1 to 100"},
    {"BootsNegative", {"boot", "--boots", "-1"}, nullptr, 2, "--boots takes a number"},
    {"BootsTrailingText", {"boot", "--boots", "1x"}, nullptr, 2, "not \"1x\""},
    {"BootsEmpty", {"boot", "--boots="}, nullptr, 2, "--boots takes a number"},
    {"BootsHexOverflow",
     {"boot", "--boots", "0x10000000000000000"},
     nullptr,
     2,
     "--boots takes a number"},
    {"BootsTwice", {"boot", "--boots", "2", "--boots", "3"}, nullptr, 2, "--boots is given twice"},
    {"UnknownOption", {"boot", "--frobnicate"}, nullptr, 2, "unknown option \"--frobnicate\""},
    {"UnknownOptionWithValue", {"boot", "--frob=1"}, nullptr, 2, "unknown option \"--frob\""},
    {"StrayArgument", {"boot", "extra"}, nullptr, 2, "unexpected argument \"extra\""},
    {"ArgumentAfterDashDash",
     {"boot", "--", "--boots"},
     nullptr,
     2,
     "unexpected argument \"--boots\""},
    {"EmptyStateName", {"boot", "--state="}, nullptr, 2, "--state needs a directory name"},
    {"EmptyJsonName", {"boot", "--json="}, nullptr, 2, "--json needs a file name"},
    {"PpiNoOperation", {"ppi"}, nullptr, 2, "OP is missing"},
    {"PpiOperationTooBig", {"ppi", "256"}, nullptr, 2, "OP takes a number from 0 to 255"},
    {"PpiHexTooBig", {"ppi", "0x100"}, nullptr, 2, "OP takes a number from 0 to 255"},
    {"PpiTwoOperations", {"ppi", "6", "7"}, nullptr, 2, "unexpected argument \"7\""},
    {"FlagWithValue", {"ppi", "6", "--owned=yes"}, nullptr, 2, "--owned takes no value"},
    {"S3NoCycles", {"s3", "--cycles", "0"}, nullptr, 2, "--cycles takes a number from 1 to 100"},
    {"PressNoButton", {"press"}, nullptr, 2, "which button?"},
    {"PressUnknownButton", {"press", "eject"}, nullptr, 2, "unknown button \"eject\""},
    {"PressHoldTooLong",
     {"press", "mute", "--hold", "101"},
     nullptr,
     2,
     "--hold takes a number from 0 to 100"},
    {"SmiNoRequest", {"smi"}, nullptr, 2, "which request?"},
    {"SmiUnknownRequest", {"smi", "eject"}, nullptr, 2, "unknown request \"eject\""},
    {"SmiNoButton", {"smi", "button-info"}, nullptr, 2, "button-info takes a button name"},
    {"SmiSetWithoutKeys", {"smi", "set-button", "mute"}, nullptr, 2, "set-button needs --keys HEX"},
    {"SmiOptionOfAnotherRequest",
     {"smi", "button-info", "mute", "--rate", "3"},
     nullptr,
     2,
     "unknown option \"--rate\" for button-info"},
    {"SmiBrightnessTooBig",
     {"smi", "brightness", "set", "0x1FFFFFFFF"},
     nullptr,
     2,
     "set takes a number from 0 to 4294967295"},

    // ---- Fault rules ----
    {"RuleUnknownService",
     {"boot", "--fail", "Nonexistent=EFI_DEVICE_ERROR"},
     nullptr,
     2,
     "the board cannot fail \"Nonexistent\"; it can fail AcpiSupport.GetAcpiTable"},
    {"RuleWrongCase",
     {"boot", "--fail", "setvariable=EFI_DEVICE_ERROR"},
     nullptr,
     2,
     "the board cannot fail \"setvariable\""},
    {"RuleNegativeCall",
     {"boot", "--fail", "SetVariable#-1=EFI_DEVICE_ERROR"},
     nullptr,
     2,
     "the call number must be 1 or more"},
    {"RuleCallZero",
     {"boot", "--fail", "SetVariable#0=EFI_DEVICE_ERROR"},
     nullptr,
     2,
     "the call number must be 1 or more"},
    {"RuleCallNotDecimal",
     {"boot", "--fail", "SetVariable#0x2=EFI_DEVICE_ERROR"},
     nullptr,
     2,
     "the call number must be 1 or more"},
    {"RuleTwoEquals",
     {"boot", "--fail", "SetVariable=EFI_DEVICE_ERROR=1"},
     nullptr,
     2,
     "unknown status \"EFI_DEVICE_ERROR=1\""},
    {"RuleUnknownStatus",
     {"boot", "--fail", "SetVariable=EFI_FROB"},
     nullptr,
     2,
     "unknown status \"EFI_FROB\""},
    {"RuleNumericStatus", {"boot", "--fail", "SetVariable=7"}, nullptr, 2, "unknown status \"7\""},
    {"RuleNoStatus", {"boot", "--fail", "SetVariable"}, nullptr, 2, "expected SERVICE[#N]=STATUS"},
    {"RuleDetailOnPlainService",
     {"boot", "--fail", "AllocatePool:Big=EFI_OUT_OF_RESOURCES"},
     nullptr,
     2,
     "only GetVariable, SetVariable and LocateProtocol take a \":NAME\""},
    {"RuleInBoardFile",
     {"boot", "--board", "{board}"},
     R"({"faults": {"rules": ["Nonexistent=EFI_DEVICE_ERROR"]}})",
     2,
     "faults.rules: fault rule \"Nonexistent=EFI_DEVICE_ERROR\""},
    {"RuleNeverFires",
     {"boot", "--fail", "SetVariable:NoSuchVariable=EFI_DEVICE_ERROR"},
     nullptr,
     3,
     "fault rule SetVariable:NoSuchVariable=EFI_DEVICE_ERROR never fired"},
    {"RuleCallBeyondTheBoot",
     {"boot", "--fail", "SetVariable#100000=EFI_DEVICE_ERROR"},
     nullptr,
     3,
     "SetVariable#100000=EFI_DEVICE_ERROR never fired"},

    // ---- Board files ----
    {"BoardMissing",
     {"boot", "--board", "{dir}/missing.json"},
     nullptr,
     2,
     "missing.json: (document): cannot read the file"},
    {"BoardIsADirectory", {"boot", "--board", "{dir}"}, nullptr, 2, "not a regular file"},
    {"BoardIsADevice",
     {"boot", "--board", "/dev/zero"},
     nullptr,
     2,
     "/dev/zero: (document): not a regular file"},
    {"BoardEmpty", {"boot", "--board", "{board}"}, "", 2, "board.json: (document): parse error"},
    {"BoardTruncated",
     {"boot", "--board", "{board}"},
     R"({"tpm": {"vendor_id": )",
     2,
     "board.json: tpm.vendor_id: parse error"},
    {"BoardNotAnObject",
     {"boot", "--board", "{board}"},
     "[1]",
     2,
     "expected an object at the top level"},
    {"BoardDuplicateKey",
     {"boot", "--board", "{board}"},
     R"({"tpm": {"present": true, "present": false}})",
     2,
     "tpm.present: the key appears twice in one object"},
    {"BoardDuplicateSection",
     {"boot", "--board", "{board}"},
     R"({"tpm": {}, "tpm": {}})",
     2,
     "board.json: tpm: the key appears twice"},
    {"BoardUnknownSection",
     {"boot", "--board", "{board}"},
     R"({"frob": {}})",
     2,
     "frob: unknown section"},
    {"BoardUnknownField",
     {"boot", "--board", "{board}"},
     R"({"tpm": {"colour": 1}})",
     2,
     "tpm.colour: unknown field"},
    {"BoardOctalLooking",
     {"boot", "--board", "{board}"},
     R"({"io": {"trace_limit": "08x"}})",
     2,
     "io.trace_limit: expected an integer (decimal or 0x hex)"},
    {"BoardSetBeyondVariable",
     {"boot", "--board", "{board}"},
     R"({"variables": {"initial": [{"name": "A", "size": 4, "set": {"4": 1}}]}})",
     2,
     "variables.initial[0].set.4: offset outside the variable's 4 bytes"},
    {"BoardSetNotAByte",
     {"boot", "--board", "{board}"},
     R"({"variables": {"initial": [{"name": "A", "size": 4, "set": {"1": 256}}]}})",
     2,
     "variables.initial[0].set.1: expected a byte value 0..255"},
    {"BoardCmosRegisterTooBig",
     {"boot", "--board", "{board}"},
     R"({"cmos": {"initial": {"128": 1}}})",
     2,
     "cmos.initial.128: offset outside"},
    {"BoardCmosRegisterNegative",
     {"boot", "--board", "{board}"},
     R"({"cmos": {"initial": {"-1": 1}}})",
     2,
     "cmos.initial.-1: offset outside"},
    {"BoardMemoryAbove4G",
     {"boot", "--board", "{board}"},
     R"({"memory": {"regions": [{"name": "x", "base": 4294967295, "size": 2}]}})",
     2,
     "memory.regions[0].size: the region must end below 4 GiB"},
    {"BoardNotifyLevels",
     {"boot", "--board", "{board}"},
     R"({"boot": {"notify_levels": "some"}})",
     2,
     "boot.notify_levels"},
    {"BoardNotUtf8",
     {"boot", "--board", "{board}"},
     "{\"variables\": {\"initial\": [{\"name\": \"\xff\xfe\"}]}}",
     2,
     "variables.initial[0].name: parse error"},
    {"BoardDsdtIsADevice",
     {"boot", "--board", "{board}"},
     R"({"acpi": {"dsdt": "/dev/zero"}})",
     2,
     "acpi.dsdt: /dev/zero: not a regular file"},
    {"BoardDsdtTooBig",
     {"boot", "--board", "{board}"},
     R"({"acpi": {"dsdt": "big.aml"}})",
     2,
     "more than the 64 KiB such a file can hold",
     [](const fs::path &, const fs::path &dir) {
       WriteFile(dir / "big.aml", std::string(65 * 1024, 'D'));
     }},
    {"BoardTooBig",
     {"boot", "--board", "{dir}/huge.json"},
     nullptr,
     2,
     "more than the 4 MiB such a file can hold",
     [](const fs::path &, const fs::path &dir) {
       WriteFile(dir / "huge.json",
                 "{\"board\": {\"description\": \"" + std::string(5u << 20, 'x') + "\"}}");
     }},
    // Boards the drivers cannot work with end in an error, never a signal.
    {"BoardPiScriptOnly",
     {"boot", "--board", "{board}"},
     R"({"smm": {"boot_script": {"lookups": ["pi"]}}})",
     1,
     "points at no memory"},
    {"BoardPiScriptAfterFramework",
     {"boot", "--board", "{board}"},
     R"({"smm": {"boot_script": {"lookups": ["framework", "framework", "pi"]}}})",
     1,
     "points at no memory"},
    {"BoardNoLookups",
     {"boot", "--board", "{board}"},
     R"({"smm": {"boot_script": {"lookups": []}}})",
     2,
     "lookups: expected at least one entry"},

    // ---- State directories ----
    {"StateBootsNegative",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "board.json: boots: expected a count",
     [](const fs::path &state, const fs::path &) {
       PlantStateFile(state, "board.json", R"({"boots": -3})");
     }},
    {"StateBoardNotJson",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "board.json: not a JSON object",
     [](const fs::path &state, const fs::path &) {
       PlantStateFile(state, "board.json", R"({"boots": )");
     }},
    {"StateCmosWrongSize",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "cmos.bin",
     [](const fs::path &state, const fs::path &) { PlantStateFile(state, "cmos.bin", "abc"); }},
    {"StateCmosIsADevice",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "cmos.bin is not a regular file",
     [](const fs::path &state, const fs::path &) {
       fs::remove(Committed(state) / "cmos.bin");
       fs::create_symlink("/dev/zero", Committed(state) / "cmos.bin");
     }},
    {"StateVariablesGarbage",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "variables.json",
     [](const fs::path &state, const fs::path &) {
       PlantStateFile(state, "variables.json", "not json");
     }},
    {"StateCurrentDangling",
     {"boot", "--state", "{state}"},
     nullptr,
     2,
     "\"current\" does not name a generation folder",
     [](const fs::path &state, const fs::path &) {
       fs::remove(state / "current");
       fs::create_symlink("gen-99", state / "current");
     }},
    {"StateIsAFile",
     {"boot", "--state", "{dir}/file"},
     nullptr,
     2,
     "is not a directory",
     [](const fs::path &, const fs::path &dir) { WriteFile(dir / "file", "x"); }},

    // ---- Outputs ----
    {"JsonIsADirectory",
     {"boot", "--state", "{state}", "--json", "{dir}"},
     nullptr,
     5,
     "it is a directory"},
    {"JsonInMissingFolder",
     {"boot", "--state", "{state}", "--json", "{dir}/no/r.json"},
     nullptr,
     5,
     "cannot write"},
    {"EventLogInMissingFolder",
     {"boot", "--state", "{state}", "--event-log", "{dir}/no/log"},
     nullptr,
     5,
     "cannot write"},
};

class BadInputTest : public ::testing::TestWithParam<BadInput> {
protected:
  // One committed boot every case starts from.
  static void SetUpTestSuite() {
    base_ = new ScratchDir;
    auto r = RunPlatsim({"boot", "--state", (base_->Path() / "state").string()});
    ASSERT_EQ(r.Exit, 0) << r.Err;
  }
  static void TearDownTestSuite() {
    delete base_;
    base_ = nullptr;
  }
  static ScratchDir *base_;
};
ScratchDir *BadInputTest::base_ = nullptr;

std::string Replace(std::string text, const std::string &from, const std::string &to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST_P(BadInputTest, NamesTheCauseExitsAsDocumentedAndChangesNothing) {
  const BadInput &c = GetParam();
  ScratchDir scratch;
  fs::path state = scratch.Path() / "state", dir = scratch.Path() / "dir",
           tmp = scratch.Path() / "tmp";
  fs::create_directories(dir);
  fs::create_directories(tmp);
  fs::copy(base_->Path() / "state", state,
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::path board = dir / "board.json";
  if (c.Board != nullptr)
    WriteFile(board, c.Board);
  if (c.Prepare)
    c.Prepare(state, dir);
  auto before = Snapshot(state);
  auto dirBefore = Snapshot(dir);

  std::vector<std::string> args;
  for (const auto &a : c.Args)
    args.push_back(Replace(Replace(Replace(a, "{state}", state.string()), "{dir}", dir.string()),
                           "{board}", board.string()));
  ::setenv("TMPDIR", tmp.c_str(), 1); // the child's temporary state folder goes here
  auto r = RunPlatsim(args);
  ::unsetenv("TMPDIR");

  EXPECT_EQ(r.Signal, 0);
  EXPECT_EQ(r.Exit, c.Exit) << r.Err;
  EXPECT_NE(r.Err.find(c.Message), std::string::npos) << "expected \"" << c.Message << "\" in:\n"
                                                      << r.Err;
  if (c.Exit == 2 && c.Args.size() > 0 && r.Err.find("board file error") == std::string::npos &&
      r.Err.find("input error") == std::string::npos)
    EXPECT_NE(r.Err.find("usage: platsim"), std::string::npos) << r.Err;
  EXPECT_EQ(Snapshot(state), before) << "the state directory changed";
  EXPECT_EQ(Snapshot(dir), dirBefore) << "a file beside it changed";
  EXPECT_TRUE(fs::is_empty(tmp)) << "a temporary state folder stayed behind";
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadInputTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.Name); });

} // namespace
