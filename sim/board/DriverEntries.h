// The drivers' entry points as the board calls them (the same symbols the
// images' loaders call).
#pragma once
#include "Uefi/UefiSpec.h"

extern "C" EFI_STATUS EFIAPI TpmPlatformDxeEntry(EFI_HANDLE ImageHandle,
                                                 EFI_SYSTEM_TABLE *SystemTable);
extern "C" EFI_STATUS EFIAPI ButtonSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);
