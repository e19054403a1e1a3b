// Output of the SMM story application: one line per check on the console
// (OVMF mirrors it to the serial port) and the closing tally.
#pragma once
#include "Uefi/UefiSpec.h"

namespace SmmStory {

struct Services {
  EFI_HANDLE Image;
  EFI_SYSTEM_TABLE *St;
  EFI_BOOT_SERVICES *Bs;
  EFI_RUNTIME_SERVICES *Rt;
};
extern constinit Services gFw;

VOID Print(const CHAR16 *Format, ...);
// Records one check; the line names it and says what was seen.
BOOLEAN Check(BOOLEAN Ok, const CHAR16 *Format, ...);
UINT32 PassedCount();
UINT32 FailedCount();

} // namespace SmmStory
