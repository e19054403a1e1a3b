#include "Uefi/UefiSpec.h"

extern "C" EFI_STATUS EFIAPI ButtonSmmEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;
  return EFI_SUCCESS;
}
