#include "BoardFixture.h"

#include "sim/io/AccessTrace.h"
#include "support/Hw.h"

namespace {

using ResetHaltTest = simtest::BoardTest;

void EFIAPI ResetFromNotify(EFI_EVENT, VOID *context) {
  auto *rt = static_cast<EFI_RUNTIME_SERVICES *>(context);
  rt->ResetSystem(EfiResetWarm, EFI_SUCCESS, 0, nullptr);
}

TEST_F(ResetHaltTest, ResetSystemUnwindsOutOfNotificationsAndEndsTheBoot) {
  bool after = false;
  sim::BootResult result = board_->Run([&](sim::Board &board) {
    board.SetResetReturns(false); // as once the Reset Architectural Protocol is there
    EFI_EVENT e = nullptr;
    board.BootServices()->CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, ResetFromNotify,
                                        board.RuntimeServices(), &gEfiEventReadyToBootGuid, &e);
    board.Events().SignalGroup(gEfiEventReadyToBootGuid);
    after = true;
  });
  EXPECT_FALSE(after);
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(result.ResetType, EfiResetWarm);
  EXPECT_EQ(board_->Report().Outcome(), "reset");
  ASSERT_NE(board_->Report().Find("resets"), nullptr);
}

TEST_F(ResetHaltTest, ResetSystemReturnsWhenTheBoardSaysSo) {
  board_->SetResetReturns(true);
  bool after = false;
  sim::BootResult result = board_->Run([&](sim::Board &board) {
    board.RuntimeServices()->ResetSystem(EfiResetCold, EFI_SUCCESS, 0, nullptr);
    after = true;
  });
  EXPECT_TRUE(after);
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Completed);
  const sim::ReportSection *resets = board_->Report().Find("resets");
  ASSERT_NE(resets, nullptr);
  EXPECT_EQ(resets->Data[0]["returned"], true);
}

TEST_F(ResetHaltTest, ResetDataSizeWithoutDataFailsTheRun) {
  struct Case {
    UINTN Size;
    bool Data;
    bool Fails;
  };
  const Case cases[] = {{0, false, false}, {4, true, false}, {1, false, true}, {16, false, true}};
  board_->SetResetReturns(false);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Size);
    UINT32 data = 0;
    auto reset = [&](sim::Board &board) {
      board.RuntimeServices()->ResetSystem(EfiResetCold, EFI_SUCCESS, c.Size,
                                           c.Data ? &data : nullptr);
    };
    if (c.Fails)
      EXPECT_THROW(board_->Run(reset), sim::SimulationError);
    else
      EXPECT_EQ(board_->Run(reset).Outcome, sim::BootOutcome::Reset);
  }
}

TEST_F(ResetHaltTest, CpuHaltForeverEndsTheHandlerAndIsRecorded) {
  sim::BootResult result = board_->Run([](sim::Board &board) {
    sim::AccessTrace::Scope gpi(board.Trace(), "gpi:1");
    PortWrite8(0x7A00, 0x01);
    CpuHaltForever();
  });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Halted);
  EXPECT_TRUE(board_->Halted());
  EXPECT_NE(result.Detail.find("gpi:1"), std::string::npos);
}

TEST_F(ResetHaltTest, AReferenceBootRunsEveryPhaseAndBothDrivers) {
  sim::BootResult result = board_->Boot();
  EXPECT_NE(result.Outcome, sim::BootOutcome::Hung);
  EXPECT_EQ(board_->BootIndex(), 2u); // the fixture powered on once already
  ASSERT_GE(board_->Images().size(), 2u);
  EXPECT_EQ(board_->Images()[0].Name, "TpmPlatformDxe");
}

} // namespace
