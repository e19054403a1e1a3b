// The hardware seam: the only way driver code reaches ports, MMIO and physical
// memory. One backend per target, chosen at link time: support/arch/x64 for the
// images, sim/ for the host.
#pragma once
#include "Uefi/UefiBaseType.h"

UINT8 PortWrite8(UINT16 Port, UINT8 Value);
UINT16 PortWrite16(UINT16 Port, UINT16 Value);
UINT32 PortWrite32(UINT16 Port, UINT32 Value);
UINT8 PortRead8(UINT16 Port);
UINT16 PortRead16(UINT16 Port);
UINT32 PortRead32(UINT16 Port);

UINT8 MmioRead8(UINT64 Address);
UINT16 MmioRead16(UINT64 Address);
UINT32 MmioRead32(UINT64 Address);
UINT8 MmioWrite8(UINT64 Address, UINT8 Value);
UINT16 MmioWrite16(UINT64 Address, UINT16 Value);
UINT32 MmioWrite32(UINT64 Address, UINT32 Value);

// A pointer through which the CPU reaches the given physical address.
VOID *PhysicalToPointer(EFI_PHYSICAL_ADDRESS Address);
// The address a pointer stands for (identity on real firmware).
EFI_PHYSICAL_ADDRESS PointerToPhysical(const VOID *Pointer);

// Stops the processor for good. On the host the board records the halt and the
// call unwinds out of the current handler instead of hanging.
[[noreturn]] VOID CpuHaltForever();
