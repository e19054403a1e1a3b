// "TCG": the TPM state hand-over bytes, derived in part from "OrvMfgData".
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

namespace {

constexpr UINTN kSize = sizeof(TcgStateVariable);

// Byte 1 of "OrvMfgData", the manufacturing TPM state flag.
EFI_STATUS ReadMfgTpmState(UINT8 *State) {
  UINT8 data[kMfgDataReadSize] = {};
  UINTN size = sizeof(data);
  EFI_STATUS status =
      gRT->GetVariable(kMfgDataVariableName, &gMfgDataVariableGuid, nullptr, &size, data);
  if (!EFI_ERROR(status))
    *State = data[kMfgDataTpmStateOffset];
  return status;
}

void ApplyMfgTpmState(UINT8 *Tcg, UINT8 MfgState) {
  Tcg[__builtin_offsetof(TcgStateVariable, MfgStateClear)] = MfgState == 0 ? 1 : 0;
  Tcg[__builtin_offsetof(TcgStateVariable, MfgStateSet)] = MfgState != 0 ? 1 : 0;
}

// Reads "TCG", rebuilding it once when it cannot be read.
EFI_STATUS ReadOrRebuild(UINT8 *Tcg) {
  EFI_STATUS status = ReadTcgStateVariable(Tcg);
  if (EFI_ERROR(status)) {
    RebuildTcgStateVariable();
    status = ReadTcgStateVariable(Tcg);
  }
  return status;
}

// "TCG" as both updates start: read (or rebuilt), confirmation mode on,
// byte 5 clear and the executed flag as given.
EFI_STATUS ReadForUpdate(UINT8 *Tcg, UINT8 PpiExecuted) {
  EFI_STATUS status = ReadOrRebuild(Tcg);
  if (EFI_ERROR(status))
    return status;
  Tcg[__builtin_offsetof(TcgStateVariable, ConfirmationMode)] = 1;
  Tcg[__builtin_offsetof(TcgStateVariable, Reserved5)] = 0;
  Tcg[__builtin_offsetof(TcgStateVariable, PpiExecuted)] = PpiExecuted;
  return EFI_SUCCESS;
}

} // namespace

EFI_STATUS ReadTcgStateVariable(UINT8 *Buffer6) {
  UINTN size = kSize;
  return gRT->GetVariable(kTcgStateVariableName, &gTcgStateVariableGuid, nullptr, &size, Buffer6);
}

EFI_STATUS WriteTcgStateVariable(const UINT8 *Buffer6) {
  return gRT->SetVariable(kTcgStateVariableName, &gTcgStateVariableGuid,
                          kTpmPlatformVariableAttributes, kSize, Buffer6);
}

VOID RebuildTcgStateVariable() {
  UINT8 tcg[kSize] = {};
  UINT8 mfgState;
  if (!EFI_ERROR(ReadMfgTpmState(&mfgState)))
    ApplyMfgTpmState(tcg, mfgState);
  (void)WriteTcgStateVariable(tcg);
}

EFI_STATUS SyncTcgStateVariable() {
  UINT8 tcg[kSize] = {};
  EFI_STATUS status = ReadForUpdate(tcg, 0);
  if (EFI_ERROR(status))
    return status;
  UINT8 mfgState;
  if (!EFI_ERROR(ReadMfgTpmState(&mfgState)))
    ApplyMfgTpmState(tcg, mfgState);
  return WriteTcgStateVariable(tcg);
}

EFI_STATUS MarkPpiExecuted() {
  UINT8 tcg[kSize] = {};
  EFI_STATUS status = ReadForUpdate(tcg, 1);
  if (EFI_ERROR(status))
    return status;
  return WriteTcgStateVariable(tcg);
}

} // namespace TpmPlatform
