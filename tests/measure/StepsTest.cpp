// The ready-to-boot steps under board variations: the wake type, the boot
// variables and their PCR, the Secure Boot gate, and the handoff tables.
#include "Guid/ImageAuthentication.h"
#include "IndustryStandard/SmBios.h"
#include "Tcg/TcgEventData.h"
#include "measure/MeasureBoard.h"
#include "tpm_platform/measure/Measure.h"

#include <gtest/gtest.h>

namespace {

using namespace measure_test;
using sim::tcg::EventRecord;

std::string VariableName(const EventRecord &r) {
  uint64_t n;
  std::memcpy(&n, &r.Data[16], 8);
  std::string name;
  for (uint64_t i = 0; i < n; ++i)
    name.push_back(char(r.Data[32 + 2 * i]));
  return name;
}

std::vector<std::string> Names(const std::vector<EventRecord> &records) {
  std::vector<std::string> out;
  for (const auto &r : records)
    out.push_back(VariableName(r));
  return out;
}

TEST(WakeEvent, WakeSourceSelectsTheLastByte) {
  struct Case {
    nlohmann::json Source; // null: no WakeInfoHob
    uint8_t Byte;
  };
  const Case cases[] = {{nullptr, 0x02}, {0, 0x06}, {3, 0x02}, {5, 0x06}, {6, 0x06}, {7, 0x02}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Source.dump());
    auto patch = MeasurementBoard();
    patch["platform"]["wake_source"] = c.Source;
    TestBoard board(patch);
    board->Boot();
    Bytes want = Text("Wake Event ");
    want.push_back(c.Byte);
    std::vector<EventRecord> wake;
    for (const auto &r : OfType(board.Records(), EV_EFI_ACTION))
      if (r.Pcr == 6)
        wake.push_back(r);
    ASSERT_EQ(wake.size(), 1u);
    EXPECT_EQ(wake[0].Data, want);
    EXPECT_EQ(wake[0].Digest, Sha1(want));
  }
}

TEST(BootVariables, OrderAndPcr) {
  struct Case {
    const char *Name;
    nlohmann::json Patch;
    uint32_t Pcr;
    std::vector<std::string> Names;
  };
  const nlohmann::json options = nlohmann::json::parse(R"([
      {"number": 3, "description": "Debian"}, {"number": 0, "description": "Shell"},
      {"number": 1, "description": "Network"}, {"number": 31, "description": "USB"}])");
  const std::vector<Case> cases = {
      {"three options",
       {{"options", options}, {"order", {3, 0, 1}}},
       5,
       {"BootOrder", "Boot0003", "Boot0000", "Boot0001"}},
      {"option 0x1F", {{"options", options}, {"order", {31}}}, 5, {"BootOrder", "Boot001F"}},
      {"missing option skipped",
       {{"options", options}, {"order", {3, 0x42, 1}}},
       5,
       {"BootOrder", "Boot0003", "Boot0001"}},
      {"one odd byte", {{"options", options}, {"order_bytes", "03"}}, 5, {"BootOrder"}},
      {"no BootOrder", {{"options", options}, {"boot_order_present", false}}, 5, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    auto patch = MeasurementBoard();
    patch["boot_manager"].merge_patch(c.Patch);
    TestBoard board(patch);
    board->Boot();
    auto boot = OfType(board.Records(), EV_EFI_VARIABLE_BOOT);
    EXPECT_EQ(Names(boot), c.Names);
    for (const auto &r : boot)
      EXPECT_EQ(r.Pcr, c.Pcr);
    // The step's outcome never stops the later ones.
    EXPECT_EQ(OfType(board.Records(), EV_SEPARATOR).size(), 8u);
  }
}

TEST(BootVariables, PlatformStateByte31SelectsPcr1) {
  auto patch = MeasurementBoard();
  std::vector<int> record(64, 0);
  record[0] = 1; // offsets 0 and 2 keep PPI processing on; irrelevant here
  record[31] = 1;
  patch["tpm_platform_state"]["record"] = record;
  TestBoard board(patch);
  board->Boot();
  auto boot = OfType(board.Records(), EV_EFI_VARIABLE_BOOT);
  ASSERT_EQ(boot.size(), 4u);
  for (const auto &r : boot)
    EXPECT_EQ(r.Pcr, 1u);
}

TEST(SecureBootVariables, GateAndOrder) {
  struct Case {
    const char *Name;
    int SetupByte; // -1: no "Setup" variable
    std::vector<std::string> Keys;
    std::vector<std::string> Names;
  };
  const std::vector<Case> cases = {
      {"all present", 1, {"PK", "KEK", "db", "dbx"}, {"SecureBoot", "PK", "KEK", "db", "dbx"}},
      {"dbx absent", 1, {"PK", "KEK", "db"}, {"SecureBoot", "PK", "KEK", "db"}},
      {"PK absent", 1, {"KEK", "db", "dbx"}, {}},
      {"switched off in Setup", 0, {"PK", "KEK", "db", "dbx"}, {}},
      {"no Setup", -1, {"PK", "KEK", "db", "dbx"}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    auto patch = MeasurementBoard();
    if (c.SetupByte < 0)
      patch["variables"]["initial"] = nlohmann::json::array();
    else
      patch["variables"]["initial"][0]["set"]["810"] = c.SetupByte;
    patch["boot_manager"]["secure_boot"]["keys"] = c.Keys;
    TestBoard board(patch);
    board->Boot();
    auto sb = OfType(board.Records(), EV_EFI_VARIABLE_DRIVER_CONFIG);
    EXPECT_EQ(Names(sb), c.Names);
    for (const auto &r : sb)
      EXPECT_EQ(r.Pcr, 7u);
  }
}

// What each step reports when called on its own after a boot: the callback
// ignores it, but the statuses are the steps' interface.
TEST(Steps, StatusesWhenThereIsNothingToMeasure) {
  struct Case {
    const char *Name;
    nlohmann::json Patch;
    EFI_STATUS (*Step)();
    EFI_STATUS Status;
    size_t Records; // added by the direct call
  };
  const std::vector<Case> cases = {
      {"boot variables", nlohmann::json::object(), TpmPlatform::MeasureBootVariables, EFI_SUCCESS,
       4},
      {"no BootOrder",
       {{"boot_manager", {{"boot_order_present", false}}}},
       TpmPlatform::MeasureBootVariables,
       EFI_SUCCESS,
       0},
      {"Secure Boot variables", nlohmann::json::object(), TpmPlatform::MeasureSecureBootVariables,
       EFI_SUCCESS, 5},
      {"Setup too short for the switch",
       {{"variables",
         {{"initial",
           {{{"name", "Setup"},
             {"guid", "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"},
             {"size", 810}}}}}}},
       TpmPlatform::MeasureSecureBootVariables,
       EFI_NOT_FOUND,
       0},
      {"Secure Boot switched off",
       {{"variables",
         {{"initial",
           {{{"name", "Setup"},
             {"guid", "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"},
             {"size", 928},
             {"set", {{"810", 0}}}}}}}}},
       TpmPlatform::MeasureSecureBootVariables,
       EFI_UNSUPPORTED,
       0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    auto patch = MeasurementBoard();
    patch["boot_manager"]["secure_boot"]["keys"] = {"PK", "KEK", "db", "dbx"};
    patch.merge_patch(c.Patch);
    TestBoard board(patch);
    board->Boot();
    const size_t before = board.Records().size();
    EXPECT_EQ(c.Step(), c.Status);
    EXPECT_EQ(board.Records().size() - before, c.Records);
  }
}

// An action record that cannot be allocated is reported, not logged.
TEST(Steps, ActionWithoutPool) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  const size_t before = board.Records().size();
  board->Faults().Add(sim::FaultRule::Parse("AllocatePool=EFI_OUT_OF_RESOURCES"));
  EXPECT_EQ(TpmPlatform::MeasureAction("Calling EFI Application from Boot Option", 5),
            EFI_OUT_OF_RESOURCES);
  board->Faults().ClearRules();
  EXPECT_EQ(board.Records().size(), before);
  EXPECT_EQ(TpmPlatform::MeasureAction("Calling EFI Application from Boot Option", 5), EFI_SUCCESS);
  EXPECT_EQ(board.Records().size(), before + 1);
}

// A table the system table does not list is not found, and the output says so.
TEST(Steps, FindConfigurationTableOfAnAbsentGuid) {
  TestBoard board(MeasurementBoard());
  board->Boot();
  const EFI_GUID absent = {
      0x1B2C3D4E, 0x5F60, 0x7182, {0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9, 0x0A}};
  VOID *table = &board;
  EXPECT_EQ(TpmPlatform::FindConfigurationTable(&absent, &table), EFI_NOT_FOUND);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(TpmPlatform::FindConfigurationTable(&gEfiSmbiosTableGuid, &table), EFI_SUCCESS);
  EXPECT_NE(table, nullptr);
}

TEST(HandoffTables, PlatformTableAndSmbiosRecords) {
  struct Case {
    const char *Name;
    nlohmann::json Platform, Smbios;
    std::vector<uint32_t> Pcrs;
  };
  const std::vector<Case> cases = {
      {"both", {}, {}, {0, 1}},
      {"no platform table", {{"platform_table", {{"present", false}}}}, {}, {1}},
      {"no SMBIOS", {}, {{"present", false}}, {0}},
      // A length field far beyond the table is not followed.
      {"length field 1 MiB", {{"platform_table", {{"length_field", 0x100000}}}}, {}, {1}},
      {"length field 64 KiB", {{"platform_table", {{"length_field", 0x10000}}}}, {}, {0, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    auto patch = MeasurementBoard();
    if (!c.Platform.is_null())
      patch["platform"].merge_patch(c.Platform);
    if (!c.Smbios.is_null())
      patch["smbios"] = c.Smbios;
    TestBoard board(patch);
    board->Boot();
    std::vector<uint32_t> pcrs;
    for (const auto &r : OfType(board.Records(), EV_EFI_HANDOFF_TABLES))
      pcrs.push_back(r.Pcr);
    EXPECT_EQ(pcrs, c.Pcrs);
  }
}

} // namespace
