// The driver's start-up on whole boots: the TPM flags it caches and carries
// into "Setup" for every TPM state, the platform state record, the PPI
// success HOB, the DSDT switch, and the installation status.
#include "Platform/PlatformHooksProtocol.h"
#include "sim/core/HandleDatabase.h"
#include "tpm_core/TestBoard.h"
#include "tpm_platform/measure/Measure.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tpmtest {
namespace {

using namespace TpmPlatform;

const sim::LoadedImage &DriverImage(sim::Board &board) {
  for (const auto &image : board.Images())
    if (image.Name == "TpmPlatformDxe")
      return image;
  throw std::runtime_error("TpmPlatformDxe not loaded");
}

bool HooksInstalled(sim::Board &board) {
  return !board.Handles().HandlesWith(gPlatformHooksProtocolGuid).empty();
}

TEST(Startup, SetupFollowsTheTpmInEveryState) {
  struct Case {
    const char *Name;
    bool Enabled, Activated, Owned;
    int Vendor;
  };
  const Case cases[] = {
      {"enabled_activated", true, true, false, 0x1014},
      {"disabled", false, true, false, 0x1014},
      {"deactivated", true, false, false, 0x1050},
      {"disabled_deactivated", false, false, false, 0x1050},
      {"owned", true, true, true, 0x1014},
      {"owned_vendor_path", true, true, true, 0x1050},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    // Every TPM byte starts wrong; 604 is cleared since 600 is set.
    Bytes before = SetupBytes({{32, c.Enabled ? 0 : 1},
                               {33, c.Activated ? 0 : 1},
                               {34, c.Owned ? 0 : 1},
                               {600, 1},
                               {602, c.Enabled ? 0 : 1},
                               {604, 1}});
    TestBoard board({{"tpm",
                      {{"vendor_id", c.Vendor},
                       {"enabled", c.Enabled},
                       {"activated", c.Activated},
                       {"owned", c.Owned}}},
                     {"variables", {{"initial", {Variable("Setup", kSetupGuid, before)}}}}});
    sim::BootResult result = board->Boot();
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
    EXPECT_EQ(gTpmFlagsCache.Disable, c.Enabled ? 0 : 1);
    EXPECT_EQ(gTpmFlagsCache.Deactivated, c.Activated ? 0 : 1);
    EXPECT_EQ(gTpmOwnedFlag, c.Owned ? 1 : 0);
    Bytes expect = before;
    expect[32] = expect[602] = c.Enabled ? 1 : 0;
    expect[33] = c.Activated ? 1 : 0;
    expect[34] = c.Owned ? 1 : 0;
    expect[604] = 0;
    EXPECT_EQ(board.Setup(), expect);
    EXPECT_EQ(DriverImage(*board).Status, EFI_SUCCESS);
    EXPECT_TRUE(HooksInstalled(*board));
    // The cache is the TPM's own answer: read owner first, then the flags.
    const auto &exchanges = board.Tpm().Tcg()->Exchanges();
    ASSERT_GE(exchanges.size(), 2u);
    EXPECT_EQ(exchanges[0].Request[9], c.Vendor == 0x1050 ? 0x21 : 0x65);
    EXPECT_EQ(exchanges[0].OutputSize, 512u);
    EXPECT_EQ(exchanges[1].OutputSize, 256u);
  }
}

TEST(Startup, WithoutTcgProtocolTheCacheStaysZeroAndSetupSyncStillRuns) {
  TestBoard board(
      {{"tpm", {{"present", false}}},
       {"variables",
        {{"initial",
          {Variable("Setup", kSetupGuid, SetupBytes({{32, 0}, {33, 0}, {34, 1}, {602, 0}}))}}}}});
  board->Boot();
  const auto *cache = reinterpret_cast<const UINT8 *>(&gTpmFlagsCache);
  EXPECT_EQ(Bytes(cache, cache + sizeof gTpmFlagsCache), Bytes(36, 0));
  EXPECT_EQ(gTpmOwnedFlag, 0);
  Bytes setup = *board.Setup();
  EXPECT_EQ(setup[32], 1);
  EXPECT_EQ(setup[33], 1);
  EXPECT_EQ(setup[34], 0);
  EXPECT_EQ(setup[602], 1);
  EXPECT_TRUE(HooksInstalled(*board));
}

// A TCG GUID installed with a NULL interface (a tag, not a service) is no
// TPM to the start-up: it finishes as without the protocol. (Only the driver's
// start-up: the platform's TCG core would not run on such a board.)
TEST(Startup, TcgGuidWithANullInterfaceIsNoTpm) {
  TestBoard board({{"tpm", {{"present", false}}},
                   {"boot",
                    {{"phases", json::array({"power-on", "early", "dxe-ready", "board-protocols",
                                             "load-tpm-platform"})}}}});
  board->PowerOn();
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(board->BootServices()->InstallProtocolInterface(&handle, &gEfiTcgProtocolGuid,
                                                            EFI_NATIVE_INTERFACE, nullptr),
            EFI_SUCCESS);
  sim::BootResult result = board->Run([](sim::Board &b) { b.Sequence().Run(b); });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
  const auto *cache = reinterpret_cast<const UINT8 *>(&gTpmFlagsCache);
  EXPECT_EQ(Bytes(cache, cache + sizeof gTpmFlagsCache), Bytes(36, 0));
  EXPECT_EQ(gTpmOwnedFlag, 0);
}

// Nor to the measurements: the hooks and steps that look the protocol up find
// no TPM (they used to call through the NULL), and the boot goes on.
TEST(Startup, TcgGuidWithANullInterfaceIsNoTpmToTheMeasurements) {
  TestBoard board({{"tpm", {{"present", false}}}});
  board->PowerOn();
  EFI_HANDLE handle = nullptr;
  ASSERT_EQ(board->BootServices()->InstallProtocolInterface(&handle, &gEfiTcgProtocolGuid,
                                                            EFI_NATIVE_INTERFACE, nullptr),
            EFI_SUCCESS);
  EFI_STATUS handoff = EFI_SUCCESS;
  EFI_STATUS separators = EFI_SUCCESS;
  sim::BootResult result = board->Run([&](sim::Board &b) {
    b.Sequence().Run(b);
    handoff = MeasureHandoffTables();
    separators = MeasureSeparators();
  });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed) << result.Detail;
  EXPECT_EQ(handoff, EFI_NOT_FOUND);
  EXPECT_EQ(separators, EFI_NOT_FOUND);
}

TEST(Startup, PlatformStateRecordSkipsTheInterfacesFirstByte) {
  Bytes record(64, 0);
  record[0] = 0x11;
  record[18] = 0x05;
  TestBoard withState(
      {{"tpm_platform_state", {{"present", true}, {"first_byte", 0xEE}, {"record", record}}}});
  withState->Boot();
  ASSERT_NE(gTpmPlatformState, nullptr);
  EXPECT_EQ(gTpmPlatformState[0], 0x11);
  EXPECT_EQ(gTpmPlatformState[-1], 0xEE);
  EXPECT_EQ(gTpmPlatformState[18], 0x05);

  TestBoard without({{"tpm_platform_state", {{"present", false}}}});
  without->Boot();
  EXPECT_EQ(gTpmPlatformState, nullptr);
}

TEST(Startup, PpiSuccessHobRecordsResultZeroFromEitherList) {
  struct Case {
    const char *Where;
    bool Recorded;
  };
  const Case cases[] = {{"none", false}, {"first", true}, {"second", true}, {"both", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Where);
    // The previous boot recorded a refusal of operation 7.
    TestBoard board({{"tpm", {{"present", false}}},
                     {"tpm_platform_state", {{"ppi_success_hob", c.Where}}},
                     {"variables",
                      {{"initial", {Variable("ZELTCGPPIVAR", kPpiGuid, {7, 7, 0xF0, 3, 0xFF})}}}}});
    board->Boot();
    EXPECT_EQ(board.Var(kPpiRequestVariableName, gPpiRequestVariableGuid),
              c.Recorded ? Bytes({0, 7, 0, 3, 0}) : Bytes({0, 7, 0xF0, 3, 0xFF}));
    // Recorded once: the clear, then at most one result write.
    EXPECT_EQ(board.Writes(kPpiRequestVariableName), c.Recorded ? 2u : 1u);
  }
}

TEST(Startup, AcpiSupportIsLookedUpOnlyWhenSetupByte599IsOne) {
  uint64_t lookups[3];
  for (uint8_t value : {0, 1, 2}) {
    TestBoard board({{"tpm", {{"present", false}}},
                     {"variables",
                      {{"initial", {Variable("Setup", kSetupGuid, SetupBytes({{599, value}}))}}}}});
    board->Boot();
    lookups[value] = board->Faults().Calls("LocateProtocol");
  }
  EXPECT_EQ(lookups[1], lookups[0] + 1);
  EXPECT_EQ(lookups[2], lookups[0]);
}

TEST(Startup, FailedInstallationIsTheEntrysResultAfterEveryOtherStep) {
  TestBoard board({{"tpm", {{"present", false}}}, {"cmos", {{"initial", {{"0x6F", 1}}}}}});
  // From the driver's load on: the board's own installations go through.
  board->Sequence().Attach("board-protocols", "test", [](sim::Board &b) {
    b.Faults().FailEvery("InstallProtocolInterface", EFI_OUT_OF_RESOURCES);
  });
  board->Boot();
  EXPECT_EQ(DriverImage(*board).Status, EFI_OUT_OF_RESOURCES);
  EXPECT_FALSE(HooksInstalled(*board));
  EXPECT_EQ(board.Var(kPpiRequestVariableName, gPpiRequestVariableGuid), Bytes(5, 0));
  EXPECT_EQ(board.Var(kTcgStateVariableName, gTcgStateVariableGuid), Bytes({0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(board->Cmos().Get(0x6F), 0);
}

// Every variable read and write of start-up, every protocol lookup and every
// TPM request fails once in turn: the boot goes on, the hook table is
// installed and no "Setup" byte outside the TPM ones changes.
TEST(Startup, SurvivesEveryFaultOfItsServiceCalls) {
  const Bytes setup =
      SetupBytes({{32, 0}, {33, 0}, {34, 1}, {600, 1}, {602, 0}, {604, 1}, {599, 1}});
  const json variables = {{"initial",
                           {Variable("Setup", kSetupGuid, setup),
                            Variable("OrvMfgData", kMfgGuid, {0, 1, 0, 0, 0, 0, 0}),
                            Variable("TCG", kTcgGuid, {0, 0, 1, 0, 2, 0}),
                            Variable("ZELTCGPPIVAR", kPpiGuid, {3, 3, 0, 0, 0})}}};
  const std::set<size_t> tpmBytes = {32, 33, 34, 602, 604};
  // The TPM requests are swept on a board with a TPM; the rest without one,
  // which keeps the many boots fast.
  for (bool withTpm : {false, true}) {
    const json patch = {{"variables", variables},
                        {"tpm", {{"present", withTpm}}},
                        {"tpm_platform_state", {{"ppi_success_hob", "first"}}},
                        {"tcg_core", {{"calls", json::array()}}}};
    std::map<std::string, uint64_t> points;
    {
      TestBoard clean(patch);
      clean->Boot();
      for (const auto &[key, count] : clean->Faults().CallCounts())
        if (withTpm ? key == "Tcg.PassThroughToTpm"
                    : key.rfind("GetVariable:", 0) == 0 || key.rfind("SetVariable:", 0) == 0 ||
                          key == "LocateProtocol")
          points[key] = count;
    }
    ASSERT_GE(points.size(), withTpm ? 1u : 8u);
    for (const auto &[key, count] : points) {
      for (uint64_t n = 1; n <= count; ++n) {
        SCOPED_TRACE(key + " #" + std::to_string(n));
        json faulted = patch;
        faulted["faults"] = {{"rules", {key + "#" + std::to_string(n) + "=EFI_DEVICE_ERROR"}}};
        TestBoard board(faulted);
        sim::BootResult result = board->Boot();
        EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
        EXPECT_EQ(board->Faults().Injected().size(), 1u);
        EXPECT_TRUE(HooksInstalled(*board));
        EXPECT_EQ(DriverImage(*board).Status, EFI_SUCCESS);
        Bytes after = *board.Setup();
        ASSERT_EQ(after.size(), setup.size());
        for (size_t i = 0; i < setup.size(); ++i)
          if (!tpmBytes.count(i))
            EXPECT_EQ(after[i], setup[i]) << "Setup byte " << i;
      }
    }
  }
}

} // namespace
} // namespace tpmtest
