// The host backend of support/Hw.h: every primitive becomes one cycle on the
// installed HostBus. Driver code runs on the host exactly as on the board.
#include "support/Hw.h"

#include "sim/hw/HostBus.h"

#include <stdexcept>

namespace {
sim::hw::HostBus *gBus = nullptr;

sim::hw::HostBus &Bus() {
  if (gBus == nullptr)
    throw std::logic_error("no board: driver code ran outside a simulated board");
  return *gBus;
}

template <class T> T PortWrite(UINT16 Port, T Value) {
  Bus().PortWrite(Port, sizeof(T), Value);
  return Value;
}
template <class T> T MmioWrite(UINT64 Address, T Value) {
  Bus().MemoryWrite(Address, sizeof(T), Value);
  return Value;
}
} // namespace

sim::hw::HostBus *sim::hw::InstallHostBus(HostBus *bus) {
  HostBus *before = gBus;
  gBus = bus;
  return before;
}

UINT8 PortWrite8(UINT16 Port, UINT8 Value) {
  return PortWrite(Port, Value);
}
UINT16 PortWrite16(UINT16 Port, UINT16 Value) {
  return PortWrite(Port, Value);
}
UINT32 PortWrite32(UINT16 Port, UINT32 Value) {
  return PortWrite(Port, Value);
}
UINT8 PortRead8(UINT16 Port) {
  return UINT8(Bus().PortRead(Port, 1));
}
UINT16 PortRead16(UINT16 Port) {
  return UINT16(Bus().PortRead(Port, 2));
}
UINT32 PortRead32(UINT16 Port) {
  return Bus().PortRead(Port, 4);
}

UINT8 MmioRead8(UINT64 Address) {
  return UINT8(Bus().MemoryRead(Address, 1));
}
UINT16 MmioRead16(UINT64 Address) {
  return UINT16(Bus().MemoryRead(Address, 2));
}
UINT32 MmioRead32(UINT64 Address) {
  return UINT32(Bus().MemoryRead(Address, 4));
}
UINT8 MmioWrite8(UINT64 Address, UINT8 Value) {
  return MmioWrite(Address, Value);
}
UINT16 MmioWrite16(UINT64 Address, UINT16 Value) {
  return MmioWrite(Address, Value);
}
UINT32 MmioWrite32(UINT64 Address, UINT32 Value) {
  return MmioWrite(Address, Value);
}

VOID *PhysicalToPointer(EFI_PHYSICAL_ADDRESS Address) {
  return Bus().ToPointer(Address);
}

EFI_PHYSICAL_ADDRESS PointerToPhysical(const VOID *Pointer) {
  return Bus().ToPhysical(Pointer);
}

[[noreturn]] VOID CpuHaltForever() {
  Bus().Halt();
}
