// Hook slots 3 and 6 and the one run of a pending request, armed until a
// console is there to ask the user.
#include "Platform/TpmPlatformStateProtocol.h"
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI ProcessPpiRequestHook() {
  if (gTpmPlatformState == nullptr || gTpmPlatformState[kTpmStatePpiEnabled] == 0 ||
      gTpmPlatformState[kTpmStatePpiEnabled2] == 0 || !IsPpiRequestPending())
    return EFI_SUCCESS;

  gPpi.CurrentOperation = gTpmPlatformState[kTpmStatePpiOperation];
  EFI_STATUS Status = gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, PpiRequestNotify, nullptr,
                                       &gPpi.ConsoleEvent);
  if (EFI_ERROR(Status))
    return Status;
  // Fires for every console input device installed from now on.
  return gBS->RegisterProtocolNotify(&gEfiSimpleTextInProtocolGuid, gPpi.ConsoleEvent,
                                     &gPpi.ConsoleRegistration);
}

EFI_STATUS EFIAPI ZeroPpiVariableHook() {
  const PpiRequestVariable Zeros = {};
  return WritePpiRequestVariable(&Zeros);
}

VOID EFIAPI PpiRequestNotify(EFI_EVENT, VOID *) {
  if (gPpi.Processed)
    return;
  // Without both consoles the user cannot be asked; a later device retries.
  if (gST->ConIn == nullptr || gST->ConOut == nullptr)
    return;
  gPpi.Processed = TRUE;

  TcgStateVariable TcgState = {};
  if (!EFI_ERROR(ReadTcgStateVariable(&TcgState)))
    gPpi.ConfirmationMode = TcgState.ConfirmationMode;

  const UINT8 Operation = gPpi.CurrentOperation;
  const BOOLEAN Skip = TpmPlatformStateByte(kTpmStateSkipConfirmation) != 0 ||
                       CanSkipConfirmation(Operation) || gPpi.ConfirmationMode == kPpiConfirmWaived;
  if (!Skip) {
    RecordPpiRequest(Operation);
    ShowPpiConfirmation(Operation);
    gPpi.Decision = WaitForPpiConfirmation();
    ClearPpiRequest();
    if (!gPpi.Decision) {
      RecordPpiRequestResult(Operation, kPpiResultRefused);
      ResetPlatform(EfiResetCold);
      return;
    }
  }

  if (PpiOperation(Operation).SetupFlag != 0) {
    SetPpiSetupFlag(Operation);
    return;
  }
  if (EFI_ERROR(ExecutePpiRequest(Operation))) {
    // Not handed over, so never carried out: without a failure result the
    // request's bytes would read as a finished operation, now and after the
    // next start-up clears the request byte.
    RecordPpiRequestResult(Operation, kPpiResultFailed);
    return;
  }
  ResetPlatform(EfiResetCold);
}

} // namespace TpmPlatform
