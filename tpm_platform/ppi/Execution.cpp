// Hands a confirmed operation over to the earlier boot phase of the next boot,
// which carries it out on the TPM.
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

EFI_STATUS ExecutePpiRequest(UINT8 Operation) {
  EFI_STATUS Status = RecordPpiRequest(Operation);
  if (EFI_ERROR(Status))
    return Status;
  Status = MarkPpiExecuted();
  if (EFI_ERROR(Status))
    return Status;
  WritePpiCmosFlag(1);
  return Status;
}

} // namespace TpmPlatform
