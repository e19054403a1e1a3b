#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "support/Hw.h"

namespace {

using IoSpaceTest = simtest::BoardTest;
using sim::AccessKind;
using sim::AccessSpace;

TEST_F(IoSpaceTest, UnclaimedPortsReadAllOnesAndWritesAreTraced) {
  EXPECT_EQ(PortRead8(0x7234), 0xFF);
  EXPECT_EQ(PortRead16(0x7234), 0xFFFF);
  EXPECT_EQ(PortRead32(0x7234), 0xFFFFFFFFu);
  EXPECT_EQ(PortWrite16(0x7A00, 0xBEEF), 0xBEEF);
  auto writes = board_->Trace().Writes(AccessSpace::Port, 0x7A00);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Width, 2);
  EXPECT_EQ(writes[0].Value, 0xBEEFu);
  EXPECT_EQ(writes[0].Device, ""); // nobody decodes it
  EXPECT_EQ(board_->Trace().CountsFor(AccessSpace::Port, 0x7234).Reads, 3u);
}

TEST_F(IoSpaceTest, ClaimedPortsReachTheirDeviceWithContext) {
  board_->Trace().Clear(); // whatever the devices did at power-on
  std::vector<std::tuple<uint16_t, uint8_t, uint32_t>> seen;
  uint32_t latch = 0;
  board_->Io().Claim(0x6000, 0x100,
                     sim::PortHandler{"ec", [&](uint16_t port, uint8_t) { return latch + port; },
                                      [&](uint16_t port, uint8_t width, uint32_t value) {
                                        seen.emplace_back(port, width, value);
                                        latch = value;
                                      }});
  {
    sim::AccessTrace::Scope smi(board_->Trace(), "smi:0xE3");
    PortWrite8(0x60FF, 0x06);
    EXPECT_EQ(PortRead8(0x6001), 0x6007 & 0xFF);
  }
  PortWrite32(0x6004, 0x12345678);
  EXPECT_EQ(seen.size(), 2u);
  const auto &trace = board_->Trace().Entries();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].Context, "smi:0xE3");
  EXPECT_EQ(trace[1].Context, "smi:0xE3");
  EXPECT_EQ(trace[1].Kind, AccessKind::Read);
  EXPECT_EQ(trace[1].Value, 0x07u);
  EXPECT_EQ(trace[2].Context, "");
  EXPECT_EQ(trace[2].Device, "ec");
  EXPECT_EQ(trace[2].Width, 4);

  EXPECT_THROW(board_->Io().Claim(0x60FF, 2, sim::PortHandler{"other", {}, {}}),
               sim::SimulationError);
}

TEST_F(IoSpaceTest, TheTraceKeepsItsLimitButCountsEverything) {
  board_->Trace().Clear();
  board_->Trace().SetLimit(4);
  for (int i = 0; i < 10; ++i)
    PortWrite8(0x7080, UINT8(i));
  EXPECT_EQ(board_->Trace().Entries().size(), 4u);
  EXPECT_EQ(board_->Trace().Entries().front().Value, 6u);
  EXPECT_EQ(board_->Trace().Dropped(), 6u);
  EXPECT_EQ(board_->Trace().CountsFor(AccessSpace::Port, 0x7080).Writes, 10u);
}

} // namespace
