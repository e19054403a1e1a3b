// Reading "Setup": the fixed-size reader and the one that sizes its buffer.
#include "Platform/SetupData.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

EFI_STATUS ReadSetupVariable(SetupData *Setup, UINT32 *Attributes, UINTN *Size) {
  FillBytes(Setup, sizeof(*Setup), 0);
  UINTN size = sizeof(*Setup);
  EFI_STATUS status =
      gRT->GetVariable(kSetupVariableName, &gSetupVariableGuid, Attributes, &size, Setup);
  if (Size != nullptr)
    *Size = size;
  return status;
}

EFI_STATUS ReadSetupAllocated(UINT8 **Buffer, UINT32 *Attributes, UINTN *Size) {
  *Buffer = nullptr;
  UINTN size = 0;
  EFI_STATUS status =
      gRT->GetVariable(kSetupVariableName, &gSetupVariableGuid, Attributes, &size, nullptr);
  if (status == EFI_BUFFER_TOO_SMALL) {
    VOID *pool = nullptr;
    if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, size, &pool)) || pool == nullptr)
      return EFI_OUT_OF_RESOURCES;
    *Buffer = static_cast<UINT8 *>(pool);
    status = gRT->GetVariable(kSetupVariableName, &gSetupVariableGuid, Attributes, &size, pool);
    // A buffer without the variable in it is of no use to the caller.
    if (EFI_ERROR(status)) {
      gBS->FreePool(pool);
      *Buffer = nullptr;
    }
  }
  if (Size != nullptr)
    *Size = size;
  return status;
}

} // namespace TpmPlatform
