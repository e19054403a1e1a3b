// ReadVariableAlloc: a variable's data in a fresh pool buffer sized by a probe.
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

VOID *ReadVariableAlloc(const CHAR16 *VariableName, const EFI_GUID *VendorGuid, UINTN *DataSize) {
  *DataSize = 0;
  EFI_STATUS Status = gRT->GetVariable(VariableName, VendorGuid, nullptr, DataSize, nullptr);
  if (Status != EFI_BUFFER_TOO_SMALL)
    return nullptr;

  VOID *Buffer = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, *DataSize, &Buffer)))
    return nullptr;

  Status = gRT->GetVariable(VariableName, VendorGuid, nullptr, DataSize, Buffer);
  if (EFI_ERROR(Status)) {
    gBS->FreePool(Buffer);
    *DataSize = 0;
    return nullptr;
  }
  return Buffer;
}

} // namespace TpmPlatform
