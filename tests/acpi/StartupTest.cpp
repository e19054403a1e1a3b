// Start-up on the board: TpmPlatformDxe patches the DSDT of the board's ACPI
// tables exactly when "Setup" byte 599 is 1, and only when it can find it.
#include "Platform/SetupData.h"
#include "acpi/AmlFixture.h"
#include "common/TestBoard.h"
#include "sim/acpi/AcpiBoard.h"
#include "sim/board/Board.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <unistd.h>

using namespace acpi_test;
using sim::json;

namespace {

struct StartupCase {
  const char *name;
  std::optional<int> setup599; // absent: no "Setup" variable
  json acpi;                   // the board file's "acpi" section
  std::vector<std::string> faults;
  bool patched;
  int tableCalls; // GetAcpiTable calls; -1: not checked
  std::size_t setupSize = kSetupDataSize;
};

json SetupVariable(int byte599, std::size_t size) {
  return {{"name", "Setup"},
          {"guid", "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"},
          {"size", size},
          {"set", {{"599", byte599}}}};
}

std::string Fixture(const char *name) {
  return std::string(ACPI_FIXTURE_DIR) + "/" + name + ".aml";
}

const std::vector<StartupCase> &Cases() {
  static const std::vector<StartupCase> cases = {
      {"byte599_is_1", 1, json::object(), {}, true, 4},
      {"byte599_is_2", 2, json::object(), {}, false, 0},
      {"byte599_is_0", 0, json::object(), {}, false, 0},
      {"no_setup", std::nullopt, json::object(), {}, false, 0},
      {"setup_unreadable", 1, json::object(), {"GetVariable:Setup=EFI_DEVICE_ERROR"}, false, 0},
      {"setup_too_large", 1, json::object(), {}, false, 0, kSetupDataSize + 1},
      {"fadt_listed_first", 1, {{"tables", {"FACP", "APIC"}}}, {}, true, 1},
      {"no_tables", 1, {{"tables", json::array()}}, {}, false, 1},
      {"no_fadt", 1, {{"tables", {"APIC", "FACS", "DSDT"}}}, {}, false, 4},
      {"fadt_dsdt_zero", 1, {{"fadt_dsdt", 0}}, {}, false, 4},
      {"no_protocol", 1, {{"protocol", false}}, {}, false, 0},
      {"table_walk_fails",
       1,
       json::object(),
       {"AcpiSupport.GetAcpiTable#2=EFI_DEVICE_ERROR"},
       false,
       2},
      {"byte_fixture", 1, {{"dsdt", Fixture("byte")}}, {}, true, 4},
      {"ones_fixture", 1, {{"dsdt", Fixture("ones")}}, {}, false, 4},
  };
  return cases;
}

void PrintTo(const StartupCase &c, std::ostream *os) {
  *os << c.name;
}

class StartupTest : public ::testing::TestWithParam<StartupCase> {
protected:
  static json Document(const StartupCase &c) {
    json board = json::parse(sim::kReferenceBoardJson);
    board["acpi"] = c.acpi;
    board["drivers"]["button_smm"]["load"] = false;
    board["variables"]["initial"] = json::array();
    if (c.setup599)
      board["variables"]["initial"].push_back(SetupVariable(*c.setup599, c.setupSize));
    board["faults"]["rules"] = c.faults;
    return board;
  }
};

TEST_P(StartupTest, PatchesExactlyWhenAskedAndFound) {
  const StartupCase &c = GetParam();
  testboard::TestBoard fixture(Document(c), testboard::FreshStateDirectory("acpi-startup"), true,
                               "startup-test.json");
  sim::Board &board = *fixture;
  const sim::BootResult result = board.Boot();
  ASSERT_EQ(result.Outcome, sim::BootOutcome::Completed) << result.Detail;

  auto *acpi = board.Find<sim::AcpiBoard>();
  ASSERT_NE(acpi, nullptr);
  const sim::AcpiBytes before = acpi->PristineDsdt();
  const sim::AcpiBytes after = acpi->CurrentDsdt(board);
  std::size_t changed = 0;
  for (std::size_t i = 0; i < after.size(); ++i)
    changed += after[i] != before[i];
  EXPECT_EQ(changed, c.patched ? 1u : 0u);
  if (c.patched) {
    const auto flag = sim::AcpiBoard::ReadFlag(after);
    ASSERT_TRUE(flag && flag->IsInteger);
    EXPECT_EQ(flag->Integer, 1u);
  }
  if (c.tableCalls >= 0)
    EXPECT_EQ(board.Faults().Calls("AcpiSupport.GetAcpiTable"), std::uint64_t(c.tableCalls));

  const sim::ReportSection *section = board.Reports().Boots().back().Find("acpi");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->Data["changed_bytes"].size(), changed);
}

INSTANTIATE_TEST_SUITE_P(Board, StartupTest, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return std::string(info.param.name); });

// The reference board end to end, with iasl as the judge of the DSDT the
// operating system would get.
TEST(Startup, ReferenceBoardDsdtReadsOneAfterBoot) {
  const auto state = std::filesystem::path(::testing::TempDir()) /
                     ("acpi-reference-" + std::to_string(::getpid()));
  std::filesystem::remove_all(state);
  json board = json::parse(sim::kReferenceBoardJson);
  board["variables"]["initial"] = json::array({SetupVariable(1, kSetupDataSize)});
  {
    sim::Board b(sim::BoardConfig::FromText(board.dump(), "reference-test.json"), state);
    ASSERT_EQ(b.Boot().Outcome, sim::BootOutcome::Completed);
    auto *acpi = b.Find<sim::AcpiBoard>();
    const std::vector<std::string> was = Disassemble(acpi->PristineDsdt());
    const std::vector<std::string> now = Disassemble(acpi->CurrentDsdt(b));
    ExpectOnlyQesdSetToOne(was, now);
  }
  std::filesystem::remove_all(state);
}

} // namespace
