// Output of the firmware test application: one line per check on the console
// (which OVMF mirrors to the serial port), and the closing tally.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

struct Services {
  EFI_HANDLE Image;
  EFI_SYSTEM_TABLE *St;
  EFI_BOOT_SERVICES *Bs;
  EFI_RUNTIME_SERVICES *Rt;
};
extern constinit Services gFw;

VOID Print(const CHAR16 *Format, ...);
// Records one check; the line names it and, on failure, says what was seen.
BOOLEAN Check(BOOLEAN Ok, const CHAR16 *Format, ...);
UINT32 FailedCount();
UINT32 PassedCount();

} // namespace FirmwareTest
