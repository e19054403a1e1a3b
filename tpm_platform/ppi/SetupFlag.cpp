// Operations 16, 18 and 20 need no TPM command: they set one "Setup" byte
// that tells later boots to waive the confirmation.
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

VOID SetPpiSetupFlag(UINT8 Operation) {
  SetupData Setup;
  UINTN Size = sizeof(Setup);
  EFI_STATUS Status =
      gRT->GetVariable(kSetupVariableName, &gSetupVariableGuid, nullptr, &Size, &Setup);
  const UINTN Offset = PpiOperation(Operation).SetupFlag;
  // A "Setup" too short for the flag cannot take it: writing back the short
  // variable would report a flag that was never stored.
  if (EFI_ERROR(Status) || Offset == 0 || Size <= Offset) {
    RecordPpiRequestResult(Operation, kPpiResultFailed);
    return;
  }
  Setup.Bytes[Offset] = 1;
  Status = gRT->SetVariable(kSetupVariableName, &gSetupVariableGuid, kTpmPlatformVariableAttributes,
                            Size, &Setup);
  RecordPpiRequestResult(Operation, EFI_ERROR(Status) ? kPpiResultFailed : kPpiResultSuccess);
}

} // namespace TpmPlatform
