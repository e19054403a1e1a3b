// The host backend of support/Hw.h: ports and MMIO go to the current board's
// I/O space and memory map; a halt is recorded on the board and unwinds out of
// the running handler (ProcessorHalted) instead of hanging.
#include "support/Hw.h"

#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"

using sim::Board;

UINT8 PortWrite8(UINT16 Port, UINT8 Value) {
  Board::Current().Io().Write(Port, 1, Value);
  return Value;
}
UINT16 PortWrite16(UINT16 Port, UINT16 Value) {
  Board::Current().Io().Write(Port, 2, Value);
  return Value;
}
UINT32 PortWrite32(UINT16 Port, UINT32 Value) {
  Board::Current().Io().Write(Port, 4, Value);
  return Value;
}
UINT8 PortRead8(UINT16 Port) {
  return UINT8(Board::Current().Io().Read(Port, 1));
}
UINT16 PortRead16(UINT16 Port) {
  return UINT16(Board::Current().Io().Read(Port, 2));
}
UINT32 PortRead32(UINT16 Port) {
  return Board::Current().Io().Read(Port, 4);
}

UINT8 MmioRead8(UINT64 Address) {
  return UINT8(Board::Current().Memory().Read(Address, 1));
}
UINT16 MmioRead16(UINT64 Address) {
  return UINT16(Board::Current().Memory().Read(Address, 2));
}
UINT32 MmioRead32(UINT64 Address) {
  return UINT32(Board::Current().Memory().Read(Address, 4));
}
UINT8 MmioWrite8(UINT64 Address, UINT8 Value) {
  Board::Current().Memory().Write(Address, 1, Value);
  return Value;
}
UINT16 MmioWrite16(UINT64 Address, UINT16 Value) {
  Board::Current().Memory().Write(Address, 2, Value);
  return Value;
}
UINT32 MmioWrite32(UINT64 Address, UINT32 Value) {
  Board::Current().Memory().Write(Address, 4, Value);
  return Value;
}

VOID *PhysicalToPointer(EFI_PHYSICAL_ADDRESS Address) {
  return Board::Current().Memory().ToPointer(Address);
}

EFI_PHYSICAL_ADDRESS PointerToPhysical(const VOID *Pointer) {
  return Board::Current().Memory().ToPhysical(Pointer);
}

[[noreturn]] VOID CpuHaltForever() {
  Board &board = Board::Current();
  std::string context = board.Trace().Context();
  board.RecordHalt(context);
  throw sim::ProcessorHalted{context};
}
