// The image's entry point and the start-up of the SMRAM instance.
#pragma once
#include "Uefi/UefiSpec.h"

extern "C" EFI_STATUS EFIAPI ButtonSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

namespace ButtonSmm {
// Runs once inside SMM, before any handler: registers the handlers in their
// fixed order and starts the hardware.
EFI_STATUS ButtonSmmMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
} // namespace ButtonSmm
