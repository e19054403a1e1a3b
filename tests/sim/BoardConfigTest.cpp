#include "BoardFixture.h"

#include "sim/core/Errors.h"

namespace {

struct Case {
  const char *json;
  const char *path;   // expected field path
  const char *reason; // expected part of the reason
};

TEST(BoardConfigTest, BadBoardFilesNameTheFileThePathAndTheReason) {
  const Case cases[] = {
      {R"({"drivers": {"tpm_platform": {"lod": true}}})", "drivers.tpm_platform.lod",
       "unknown field"},
      {R"({"tmp": {}})", "tmp", "unknown section"},
      {R"({"drivers": {"tpm_platform": {"load": 1}}})", "drivers.tpm_platform.load",
       "expected true or false"},
      {R"({"boot": {"phases": ["power-on", "warp"]}})", "boot.phases", "unknown boot phase"},
      {R"({"boot": {"phases": ["early", "early"]}})", "boot.phases", "listed twice"},
      {R"({"memory": {"regions": [{"name": "low", "base": "0x7E000000", "size": "lots"}]}})",
       "memory.regions[0].size", "expected an integer"},
      {R"({"variables": {"initial": [{"name": "Setup", "guid": "nope", "size": 4}]}})",
       "variables.initial[0].guid", "is not a GUID"},
      {R"({"variables": {"initial": [{"name": "S", "size": 4, "set": {"9": 1}}]}})",
       "variables.initial[0].set.9", "outside"},
      {R"({"cmos": {"initial": {"0x80": 1}}})", "cmos.initial.0x80", "0..127"},
      {R"({"faults": {"rules": ["GetVariable"]}})", "faults.rules", "SERVICE[#N]=STATUS"},
      {R"({"boot_manager": []})", "boot_manager", "expected an object"},
      {R"({"drivers": {"tpm_platform": {"load": true},})", "drivers.tpm_platform", "parse error"},
  };
  auto dir = testboard::FreshStateDirectory("simtest");
  for (const auto &c : cases) {
    try {
      sim::Board board(sim::BoardConfig::FromText(c.json, "my-board.json"), dir);
      ADD_FAILURE() << "accepted: " << c.json;
    } catch (const sim::BoardConfigError &e) {
      EXPECT_EQ(e.File(), "my-board.json") << c.json;
      EXPECT_EQ(e.Path(), c.path) << c.json;
      EXPECT_NE(e.Reason().find(c.reason), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("my-board.json: ", 0), 0u) << e.what();
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(BoardConfigTest, TheReferenceBoardAndAMissingFile) {
  auto dir = testboard::FreshStateDirectory("simtest");
  EXPECT_NO_THROW(sim::Board(sim::BoardConfig::Reference(), dir));
  EXPECT_THROW(sim::BoardConfig::FromFile((dir / "absent.json").string()), sim::BoardConfigError);
  std::filesystem::remove_all(dir);
}

TEST(BoardConfigTest, InitialVariablesAndPhaseOrderComeFromTheFile) {
  auto dir = testboard::FreshStateDirectory("simtest");
  {
    sim::Board board(sim::BoardConfig::FromText(
                         R"({"variables": {"initial": [
                               {"name": "Setup", "guid": "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9",
                                "size": 928, "set": {"599": 1}}]},
                             "boot": {"phases": ["power-on", "dxe-ready", "load-tpm-platform"]},
                             "drivers": {"button_smm": {"load": false}}})",
                         "b.json"),
                     dir);
    const EFI_GUID setup = {
        0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};
    auto *v = board.Variables().Find(u"Setup", setup);
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->Data.size(), 928u);
    EXPECT_EQ(v->Data[599], 1);
    EXPECT_EQ(v->Attributes, 7u);
    sim::BootResult result = board.Boot();
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
    EXPECT_EQ(board.Sequence().Ran(),
              (std::vector<std::string>{"power-on", "dxe-ready", "load-tpm-platform"}));
    ASSERT_EQ(board.Images().size(), 1u);
    EXPECT_EQ(board.Images()[0].Name, "TpmPlatformDxe");
  }
  std::filesystem::remove_all(dir);
}

} // namespace
