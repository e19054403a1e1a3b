#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "support/Hw.h"

#include <fstream>

namespace {

using CmosTest = simtest::BoardTest;

TEST_F(CmosTest, RegistersPersistAcrossRunsAndTheBootReportsChanges) {
  board_->Run([](sim::Board &) {
    PortWrite8(0x70, 0x6F | 0x80); // NMI mask bit does not select
    PortWrite8(0x71, 0x0E);
    PortWrite8(0x70, 0x10);
    PortWrite8(0x71, 0x22);
  });
  EXPECT_EQ(board_->Cmos().Get(0x6F), 0x0E);
  const sim::ReportSection *changes = board_->Report().Find("cmos");
  ASSERT_NE(changes, nullptr);
  ASSERT_EQ(changes->Data.size(), 2u);
  EXPECT_EQ(changes->Data[0]["register"], 0x10);
  EXPECT_EQ(changes->Data[1]["register"], 0x6F);
  EXPECT_EQ(changes->Data[1]["after"], 0x0E);
  board_->Commit();
  EXPECT_EQ(std::filesystem::file_size(board_->State().CommittedFolder() / "cmos.bin"), 128u);

  NextRun();
  PortWrite8(0x70, 0x6F);
  EXPECT_EQ(PortRead8(0x71), 0x0E);
  PortWrite8(0x70, 0x10);
  EXPECT_EQ(PortRead8(0x71), 0x22);
}

TEST_F(CmosTest, AStateFileOfTheWrongSizeIsRejected) {
  board_->Commit();
  {
    std::ofstream out(board_->State().CommittedFolder() / "cmos.bin", std::ios::binary);
    out << "short";
  }
  EXPECT_THROW(NextRun(), sim::SimulationError);
}

} // namespace
