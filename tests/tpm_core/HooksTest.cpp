// Hook slots 2 and 5 as the platform's TCG core calls them, and the table
// the driver installs.
#include "tpm_platform/core/Hooks.h"
#include "Platform/PlatformHooksProtocol.h"
#include "sim/core/HandleDatabase.h"
#include "tpm_core/TestBoard.h"

#include <gtest/gtest.h>

namespace tpmtest {
namespace {

using namespace TpmPlatform;

TEST(Hooks, TableHoldsTheSevenEntriesInSlotOrder) {
  TestBoard board({{"tpm", {{"present", false}}}});
  board->Boot();
  auto handles = board->Handles().HandlesWith(gPlatformHooksProtocolGuid);
  ASSERT_EQ(handles.size(), 1u);
  // Installed on the driver's own image handle.
  EXPECT_EQ(handles[0], gImageHandle);
  auto *table = static_cast<PlatformHooksProtocol *>(
      board->Handles().Find(handles[0], gPlatformHooksProtocolGuid));
  EXPECT_EQ(table->MicrocodeHook, &MicrocodeHook);
  EXPECT_EQ(table->OptionRomHook, &OptionRomHook);
  EXPECT_EQ(table->SyncTpmEnableHook, &SyncTpmEnableHook);
  EXPECT_EQ(table->ProcessPpiRequestHook, &ProcessPpiRequestHook);
  EXPECT_EQ(table->ReadyToBootHook, &ReadyToBootHook);
  EXPECT_EQ(table->GetPlatformOptions, &GetPlatformOptions);
  EXPECT_EQ(table->ZeroPpiVariableHook, &ZeroPpiVariableHook);
}

TEST(Hooks, SyncTpmEnableHookReadsTheTpmAgainAndFixesOnlyByte602) {
  // The TPM is disabled after start-up (by someone else's physical presence).
  const Bytes setup = SetupBytes({{32, 1}, {33, 1}, {34, 0}, {600, 0}, {602, 1}});
  TestBoard board({{"variables", {{"initial", {Variable("Setup", kSetupGuid, setup)}}}},
                   {"tcg_core", {{"calls", {"SyncTpmEnableHook", "GetPlatformOptions"}}}}});
  board->Sequence().Attach("load-tpm-platform", "test",
                           [&](sim::Board &) { board.Tpm().Chip().SetEnabled(false); });
  board->Boot();
  Bytes expect = setup;
  expect[602] = 0;
  EXPECT_EQ(board.Setup(), expect);
  EXPECT_EQ(gTpmFlagsCache.Disable, 0); // the cache keeps its start-up value

  const auto &results = board.TcgCore().Results();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].Slot, 2u);
  EXPECT_EQ(results[0].Status, EFI_SUCCESS);
  EXPECT_EQ(results[1].Slot, 5u);
  EXPECT_EQ(results[1].Status, EFI_SUCCESS);
  EXPECT_EQ(results[1].Options, Bytes({1, 0, 0, 0}));
}

TEST(Hooks, SyncTpmEnableHookWithoutTcgProtocolReportsTheLookup) {
  TestBoard board({{"tpm", {{"present", false}}},
                   {"variables", {{"initial", {Variable("Setup", kSetupGuid, SetupBytes())}}}}});
  board->Boot();
  size_t writes = board.Writes(kSetupVariableName);
  EXPECT_EQ(SyncTpmEnableHook(), EFI_NOT_FOUND);
  EXPECT_EQ(board.Writes(kSetupVariableName), writes);
}

TEST(Hooks, TcgCoreCallsInTheConfiguredOrderAndPhase) {
  TestBoard board(
      {{"tpm", {{"present", false}}},
       {"tcg_core", {{"calls", {"GetPlatformOptions", "SyncTpmEnableHook@board-protocols"}}}}});
  board->Boot();
  const auto &results = board.TcgCore().Results();
  ASSERT_EQ(results.size(), 2u);
  // Before the driver is loaded there is no table to call.
  EXPECT_EQ(results[0].Slot, 2u);
  EXPECT_FALSE(results[0].Found);
  EXPECT_EQ(results[1].Slot, 5u);
  EXPECT_TRUE(results[1].Found);
}

} // namespace
} // namespace tpmtest
