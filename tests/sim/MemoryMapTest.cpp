#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "sim/memory/MemoryMap.h"
#include "support/Hw.h"

namespace {

using MemoryMapTest = simtest::BoardTest;

TEST_F(MemoryMapTest, LowMemoryTranslatesBothWaysAndOtherAddressesAreIdentity) {
  sim::MemoryMap &memory = board_->Memory();
  EFI_PHYSICAL_ADDRESS table = memory.Allocate("low", 36, 16);
  EXPECT_GE(table, 0x7E000000u);
  EXPECT_EQ(table % 16, 0u);
  auto *p = static_cast<UINT8 *>(PhysicalToPointer(table));
  p[0] = 'D';
  EXPECT_EQ(PointerToPhysical(p + 5), table + 5);
  EXPECT_EQ(MmioRead8(table), 'D');
  MmioWrite32(table + 4, 0xCAFEF00D);
  EXPECT_EQ(p[4], 0x0D);
  EXPECT_EQ(memory.Allocate("low", 1, 4096) % 4096, 0u);

  int local = 5;
  EXPECT_EQ(PhysicalToPointer(PointerToPhysical(&local)), &local);
  EXPECT_THROW(memory.Allocate("low", 0x02000000), sim::SimulationError);
}

TEST_F(MemoryMapTest, DeviceRegistersGoThroughTheirHandlerAndAreTraced) {
  sim::MemoryMap &memory = board_->Memory();
  board_->Trace().Clear();
  uint64_t written = 0;
  memory.AddMmio(0x50000000, 0x5000,
                 sim::MmioHandler{"tpm",
                                  [](uint64_t offset, uint8_t) -> uint64_t {
                                    return offset == 0xF00 ? 0x000B15D1 : 0;
                                  },
                                  [&](uint64_t, uint8_t, uint64_t value) { written = value; }});
  EXPECT_EQ(MmioRead32(0x50000F00), 0x000B15D1u);
  EXPECT_EQ(MmioRead16(0x50000F00), 0x15D1u);
  MmioWrite8(0x50000000, 0x20);
  EXPECT_EQ(written, 0x20u);
  const auto &trace = board_->Trace().Entries();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].Space, sim::AccessSpace::Mmio);
  EXPECT_EQ(trace[0].Device, "tpm");
  EXPECT_THROW(PhysicalToPointer(0x50000F00), sim::SimulationError);
  EXPECT_THROW(memory.AddMemory("test-ram", 0x50004000, 0x2000), sim::SimulationError);
}

TEST_F(MemoryMapTest, ReadOnlyMemoryIgnoresWrites) {
  auto rom = board_->Memory().AddMemory("test-rom", 0x40000000, 0x1000, true);
  rom[0x10] = 0x5A;
  MmioWrite8(0x40000010, 0x00);
  EXPECT_EQ(MmioRead8(0x40000010), 0x5A);
  EXPECT_EQ(static_cast<UINT8 *>(PhysicalToPointer(0x40000010))[0], 0x5A);
}

} // namespace
