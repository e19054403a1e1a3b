#include "support/ServiceTables.h"

VOID RecordServiceTables(SERVICE_TABLES *Tables, EFI_HANDLE ImageHandle,
                         EFI_SYSTEM_TABLE *SystemTable) {
  if (Tables->SystemTable != nullptr)
    return;
  Tables->ImageHandle = ImageHandle;
  Tables->SystemTable = SystemTable;
  Tables->BootServices = SystemTable->BootServices;
  Tables->RuntimeServices = SystemTable->RuntimeServices;
}
