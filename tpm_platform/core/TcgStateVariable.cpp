// "TCG": the TPM state hand-over bytes, derived in part from "OrvMfgData".
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

namespace {

// Byte 1 of "OrvMfgData", the manufacturing TPM state flag.
EFI_STATUS ReadMfgTpmState(UINT8 *State) {
  UINT8 data[kMfgDataReadSize] = {};
  UINTN size = sizeof(data);
  EFI_STATUS status =
      gRT->GetVariable(kMfgDataVariableName, &gMfgDataVariableGuid, nullptr, &size, data);
  if (EFI_ERROR(status))
    return status;
  // A variable that ends before the flag has no state to hand over.
  if (size <= kMfgDataTpmStateOffset)
    return EFI_NOT_FOUND;
  *State = data[kMfgDataTpmStateOffset];
  return EFI_SUCCESS;
}

void ApplyMfgTpmState(TcgStateVariable *Tcg, UINT8 MfgState) {
  Tcg->MfgStateClear = MfgState == 0 ? 1 : 0;
  Tcg->MfgStateSet = MfgState != 0 ? 1 : 0;
}

// Reads "TCG", rebuilding it once when it cannot be read.
EFI_STATUS ReadOrRebuild(TcgStateVariable *Tcg) {
  EFI_STATUS status = ReadTcgStateVariable(Tcg);
  if (EFI_ERROR(status)) {
    RebuildTcgStateVariable();
    status = ReadTcgStateVariable(Tcg);
  }
  return status;
}

// "TCG" as both updates start: read (or rebuilt), confirmation mode on,
// byte 5 clear and the executed flag as given.
EFI_STATUS ReadForUpdate(TcgStateVariable *Tcg, UINT8 PpiExecuted) {
  EFI_STATUS status = ReadOrRebuild(Tcg);
  if (EFI_ERROR(status))
    return status;
  Tcg->ConfirmationMode = 1;
  Tcg->Reserved5 = 0;
  Tcg->PpiExecuted = PpiExecuted;
  return EFI_SUCCESS;
}

} // namespace

EFI_STATUS ReadTcgStateVariable(TcgStateVariable *Tcg) {
  UINTN size = sizeof(*Tcg);
  return gRT->GetVariable(kTcgStateVariableName, &gTcgStateVariableGuid, nullptr, &size, Tcg);
}

EFI_STATUS WriteTcgStateVariable(const TcgStateVariable *Tcg) {
  return gRT->SetVariable(kTcgStateVariableName, &gTcgStateVariableGuid,
                          kTpmPlatformVariableAttributes, sizeof(*Tcg), Tcg);
}

VOID RebuildTcgStateVariable() {
  TcgStateVariable tcg = {};
  UINT8 mfgState;
  if (!EFI_ERROR(ReadMfgTpmState(&mfgState)))
    ApplyMfgTpmState(&tcg, mfgState);
  (void)WriteTcgStateVariable(&tcg);
}

EFI_STATUS SyncTcgStateVariable() {
  TcgStateVariable tcg = {};
  EFI_STATUS status = ReadForUpdate(&tcg, 0);
  if (EFI_ERROR(status))
    return status;
  UINT8 mfgState;
  if (!EFI_ERROR(ReadMfgTpmState(&mfgState)))
    ApplyMfgTpmState(&tcg, mfgState);
  return WriteTcgStateVariable(&tcg);
}

EFI_STATUS MarkPpiExecuted() {
  TcgStateVariable tcg = {};
  EFI_STATUS status = ReadForUpdate(&tcg, 1);
  if (EFI_ERROR(status))
    return status;
  return WriteTcgStateVariable(&tcg);
}

} // namespace TpmPlatform
