// Output of the firmware test applications: one line per check on the console
// (which OVMF mirrors to the serial port), and the closing tally. Every line
// starts with the application's tag, which its run script looks for.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareApp {

struct Services {
  EFI_HANDLE Image;
  EFI_SYSTEM_TABLE *St;
  EFI_BOOT_SERVICES *Bs;
  EFI_RUNTIME_SERVICES *Rt;
};
extern constinit Services gFw;

// Defined by each application: the tag its lines start with, "[name] ".
extern const CHAR16 kLogTag[];

// Keeps the entry's image handle and service tables in gFw.
VOID RecordServices(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
VOID Print(const CHAR16 *Format, ...);
// Records one check; the line names it and, on failure, says what was seen.
BOOLEAN Check(BOOLEAN Ok, const CHAR16 *Format, ...);
UINT32 PassedCount();
UINT32 FailedCount();

} // namespace FirmwareApp
