// The image handle and service tables a driver's entry point receives, kept
// for the rest of the driver. Each driver holds one SERVICE_TABLES and names
// its fields gImageHandle, gST, gBS and gRT.
#pragma once
#include "Uefi/UefiSpec.h"

struct SERVICE_TABLES {
  EFI_HANDLE ImageHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_BOOT_SERVICES *BootServices;
  EFI_RUNTIME_SERVICES *RuntimeServices;
};

// As the image is loaded: nothing recorded yet.
inline constexpr SERVICE_TABLES kNoServiceTables = {nullptr, nullptr, nullptr, nullptr};

// Records the tables on the first call; a later entry into the same image
// keeps them (a driver may replace gRT in between).
VOID RecordServiceTables(SERVICE_TABLES *Tables, EFI_HANDLE ImageHandle,
                         EFI_SYSTEM_TABLE *SystemTable);
