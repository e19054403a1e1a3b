// Refusal, the Setup-flag operations and their failures, the deferred reset,
// when the console arrives, and hook slot 6.
#include "Protocol/ResetArch.h"
#include "ppi/PpiTestBoard.h"
#include "sim/core/HandleDatabase.h"
#include "sim/tcg/TcgCore.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/ppi/PpiState.h"

#include <gtest/gtest.h>

namespace ppitest {
namespace {

TEST(RequestProcessing, RefusalRecordsFfF0DeletesLastBootFailedAndResets) {
  for (const char *key : {"F4", "F2"}) {
    SCOPED_TRACE(key);
    json patch = StatePatch(StateRecord(14));
    patch["console"] = {{"keys", key}};
    patch["variables"] = {
        {"initial", {Variable("LastBootFailed", kLastBootFailedGuid, {1, 2, 3, 4}, 1)}}};
    PpiTestBoard board(patch);
    sim::BootResult result = board->Boot();
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
    EXPECT_EQ(result.ResetType, EfiResetCold);
    EXPECT_EQ(board.PpiVar(), Bytes({0, 14, 0xF0, 0, 0xFF}));
    EXPECT_FALSE(board.Var(kLastBootFailedVariableName, gLastBootFailedVariableGuid));
    EXPECT_EQ(board->Cmos().Get(0x6F), 0);
    EXPECT_EQ(board.TcgVar(), Bytes({0, 0, 0, 0, 1, 0}));
  }
}

TEST(RequestProcessing, SetupFlagOperationsAndTheirFailures) {
  struct Case {
    int Operation;
    const char *Fault; // nullptr: none
    bool SetupPresent;
    bool Succeeds;
    size_t SetupSize = kSetupDataSize;
  };
  const Case cases[] = {
      {16, nullptr, true, true},
      {18, nullptr, true, true},
      {20, nullptr, true, true},
      {20, "SetVariable:Setup=EFI_WRITE_PROTECTED", true, false},
      {16, "GetVariable:Setup=EFI_DEVICE_ERROR", true, false},
      {18, nullptr, false, false},
      // A "Setup" that ends before the flag's byte cannot take it.
      {16, nullptr, true, false, 834},
      {20, nullptr, true, false, 835},
      {18, nullptr, true, true, 606},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("operation " + std::to_string(c.Operation) + (c.Fault ? c.Fault : "") + " size " +
                 std::to_string(c.SetupSize));
    Bytes initialSetup = SetupPattern();
    initialSetup.resize(c.SetupSize);
    json patch = StatePatch(StateRecord(uint8_t(c.Operation)));
    patch["console"] = {{"keys", "F1"}};
    patch["tcg_core"] = {{"calls", {"ProcessPpiRequestHook"}}};
    if (c.SetupPresent)
      patch["variables"] = {{"initial", {Variable("Setup", kSetupGuid, initialSetup)}}};
    if (c.Fault)
      patch["faults"] = {{"rules", {c.Fault}}};
    PpiTestBoard board(patch);
    sim::BootResult result = board->Boot();
    EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
    const uint8_t op = uint8_t(c.Operation);
    EXPECT_EQ(board.PpiVar(), c.Succeeds ? Bytes({0, op, 0, 0, 0}) : Bytes({0, op, 0xF1, 0, 0xFF}));
    if (c.SetupPresent) {
      Bytes setup = SetupExpected(initialSetup, board.Setup());
      if (c.Succeeds)
        setup[op == 16 ? 834 : op == 18 ? 605 : 835] = 1;
      EXPECT_EQ(board.Setup(), setup);
    }
    EXPECT_EQ(board->Cmos().Get(0x6F), 0);
  }
}

TEST(RequestProcessing, FailedHandOverLeavesTheBootRunning) {
  // Operation 3 waived by byte 25: start-up writes each variable once (#1),
  // the hand-over writes the request (#2) and then "TCG" (#2). A request not
  // handed over is never carried out: it records 0xFFF1 rather than keep
  // bytes that read as a finished operation.
  struct Case {
    const char *Fault;
    Bytes Request;
  };
  const Case cases[] = {
      {"SetVariable:ZELTCGPPIVAR#2=EFI_DEVICE_ERROR", Bytes({0, 0, 0xF1, 0, 0xFF})},
      {"SetVariable:TCG#2=EFI_DEVICE_ERROR", Bytes({0, 3, 0xF1, 0, 0xFF})},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Fault);
    json patch = StatePatch(StateRecord(3, {{25, 1}}));
    patch["faults"] = {{"rules", {c.Fault}}};
    patch["variables"] = {{"initial", {Variable("TCG", kTcgGuid, {0, 0, 0, 0, 1, 0})}}};
    PpiTestBoard board(patch);
    EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Completed);
    EXPECT_EQ(board.PpiVar(), c.Request);
    EXPECT_EQ(board->Cmos().Get(0x6F), 0);
    EXPECT_EQ(board.TcgVar(), Bytes({0, 0, 0, 0, 1, 0}));
  }
}

TEST(RequestProcessing, DeferredResetWaitsForTheResetArchitecturalProtocol) {
  // The protocol arrives at ready-to-boot, after the console connected.
  json patch = StatePatch(StateRecord(5));
  patch["console"] = {{"keys", "F3"}};
  patch["ppi"] = {{"reset_arch_phase", "ready-to-boot"}};
  patch["boot"] = {{"phases", PhasesTo("ready-to-boot")}};
  PpiTestBoard board(patch);
  sim::BootResult result = board->Boot();
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(result.ResetType, EfiResetCold);
  EXPECT_EQ(result.Phase, "ready-to-boot");
  EXPECT_EQ(board.PpiVar(), Bytes({5, 5, 0, 0, 0}));

  // Never installed: the boot goes on to its end.
  patch["ppi"] = {{"reset_arch_phase", "none"}};
  PpiTestBoard never(patch);
  EXPECT_EQ(never->Boot().Outcome, sim::BootOutcome::Completed);
  EXPECT_EQ(never.PpiVar(), Bytes({5, 5, 0, 0, 0}));
}

TEST(RequestProcessing, ProcessingWaitsForBothConsolePointers) {
  struct Case {
    const char *Name;
    json Connect;
    bool Processed;
  };
  auto step = [](const char *phase, const char *action) {
    return json{{"phase", phase}, {"action", action}};
  };
  const Case cases[] = {
      {"text input before ConIn, then another",
       {step("console-connect", "con-out"), step("console-connect", "text-input"),
        step("console-connect", "con-in"), step("console-connect", "text-input")},
       true},
      {"text input before ConIn only",
       {step("console-connect", "con-out"), step("console-connect", "text-input"),
        step("console-connect", "con-in")},
       false},
      {"no ConOut",
       {step("console-connect", "con-in"), step("console-connect", "text-input")},
       false},
      {"text input installed before the hook",
       {step("board-protocols", "con-out"), step("board-protocols", "con-in"),
        step("board-protocols", "text-input")},
       false},
      {"console before the hook, a second keyboard after it",
       {step("board-protocols", "con-out"), step("board-protocols", "con-in"),
        step("board-protocols", "text-input"), step("pci-enumeration", "text-input")},
       true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    json patch = StatePatch(StateRecord(1));
    patch["console"] = {{"keys", "F1"}, {"connect", c.Connect}};
    PpiTestBoard board(patch);
    sim::BootResult result = board->Boot();
    EXPECT_EQ(result.Outcome, c.Processed ? sim::BootOutcome::Reset : sim::BootOutcome::Completed);
    EXPECT_EQ(board.Console().ScreenBegun(), c.Processed ? 1u : 0u);
    EXPECT_EQ(board.PpiVar(), c.Processed ? Bytes({1, 1, 0, 0, 0}) : Bytes(5, 0));
  }
}

TEST(RequestProcessing, HookTwiceStillProcessesOnce) {
  json patch = StatePatch(StateRecord(16));
  patch["console"] = {{"keys", "F1,F1"}};
  patch["tcg_core"] = {{"calls", {"ProcessPpiRequestHook", "ProcessPpiRequestHook"}}};
  patch["variables"] = {{"initial", {Variable("Setup", kSetupGuid, SetupPattern())}}};
  PpiTestBoard board(patch);
  EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Completed);
  EXPECT_EQ(board.Console().ScreenBegun(), 1u);
  EXPECT_EQ(board.Console().KeysRead().size(), 1u);
}

TEST(RequestProcessing, HookFailsWhenItsEventCannotBeCreated) {
  json patch = StatePatch(StateRecord(1));
  patch["faults"] = {{"rules", {"CreateEvent=EFI_OUT_OF_RESOURCES"}}};
  patch["console"] = {{"keys", "F1"}};
  PpiTestBoard board(patch);
  EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Completed);
  EXPECT_EQ(board.Console().ScreenBegun(), 0u);
}

TEST(RequestProcessing, ZeroPpiVariableHookWritesFiveZerosAndReportsTheWrite) {
  struct Case {
    const char *Fault;
    EFI_STATUS Status;
  };
  const Case cases[] = {{nullptr, EFI_SUCCESS},
                        {"SetVariable:ZELTCGPPIVAR#2=EFI_WRITE_PROTECTED", EFI_WRITE_PROTECTED}};
  for (const auto &c : cases) {
    json patch = {
        {"tcg_core", {{"calls", {"ZeroPpiVariableHook"}}}},
        {"variables", {{"initial", {Variable("ZELTCGPPIVAR", kPpiGuid, {7, 7, 0xF0, 9, 0xFF})}}}}};
    if (c.Fault)
      patch["faults"] = {{"rules", {c.Fault}}};
    PpiTestBoard board(patch);
    board->Boot();
    const auto &results = board->Find<sim::TcgCoreComponent>()->Results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Slot, 6u);
    EXPECT_EQ(results[0].Status, c.Status);
    EXPECT_EQ(board.PpiVar(), c.Fault ? Bytes({0, 7, 0xF0, 9, 0xFF}) : Bytes(5, 0));
  }
}

// "LastBootFailed" is gone before the driver's reset, whether the store takes the
// plain deletion or only one with the variable's own attributes; a store that
// refuses both, or a read that fails, leaves it.
TEST(RequestProcessing, ResetDeletesLastBootFailed) {
  struct Case {
    unsigned Attributes;
    const char *Fault; // nullptr: none
    bool Deleted;
  };
  const Case cases[] = {
      {1, nullptr, true},
      {7, nullptr, true}, // the plain deletion is refused: the second one deletes
      {1, "SetVariable:LastBootFailed#2=EFI_WRITE_PROTECTED", true},
      {1, "SetVariable:LastBootFailed#1=EFI_WRITE_PROTECTED", true},
      {7, "SetVariable:LastBootFailed#2=EFI_WRITE_PROTECTED", false},
      {1, "SetVariable:LastBootFailed=EFI_WRITE_PROTECTED", false},
      {1, "GetVariable:LastBootFailed=EFI_DEVICE_ERROR", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.Attributes) + " " + (c.Fault ? c.Fault : ""));
    json patch = StatePatch(StateRecord(14));
    patch["console"] = {{"keys", "F4"}};
    patch["variables"] = {
        {"initial", {Variable("LastBootFailed", kLastBootFailedGuid, {1, 2, 3, 4}, c.Attributes)}}};
    if (c.Fault)
      patch["faults"] = {{"rules", {c.Fault}}};
    PpiTestBoard board(patch);
    EXPECT_EQ(board->Boot().Outcome, sim::BootOutcome::Reset);
    EXPECT_EQ(board.Var(kLastBootFailedVariableName, gLastBootFailedVariableGuid).has_value(),
              !c.Deleted);
  }
}

// Only operations 16, 18 and 20 set a "Setup" flag; any other operation given
// to the flag step changes no byte and is recorded as failed.
TEST(RequestProcessing, SetupFlagStepTakesOnlyItsOperations) {
  struct Case {
    uint8_t Operation;
    int Offset; // -1: none
  };
  const Case cases[] = {{16, 834}, {18, 605}, {20, 835}, {0, -1},
                        {1, -1},   {17, -1},  {19, -1},  {21, -1}};
  for (const auto &c : cases) {
    SCOPED_TRACE("operation " + std::to_string(c.Operation));
    json patch = {{"variables", {{"initial", {Variable("Setup", kSetupGuid, SetupPattern())}}}}};
    PpiTestBoard board(patch);
    board->Boot();
    const Bytes before = *board.Setup();
    TpmPlatform::SetPpiSetupFlag(c.Operation);
    Bytes expected = before;
    if (c.Offset >= 0)
      expected[size_t(c.Offset)] = 1;
    EXPECT_EQ(board.Setup(), expected);
    const auto ppi = board.PpiVar();
    ASSERT_TRUE(ppi.has_value());
    ASSERT_EQ(ppi->size(), 5u);
    EXPECT_EQ((*ppi)[2] | (*ppi)[4] << 8,
              c.Offset >= 0 ? TpmPlatform::kPpiResultSuccess : TpmPlatform::kPpiResultFailed);
  }
}

} // namespace
} // namespace ppitest
