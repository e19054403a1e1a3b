// Keeping the TPM bytes of "Setup" in line with what the TPM reports.
#include "Platform/SetupData.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

namespace {

EFI_STATUS WriteSetupVariable(const SetupData *Setup, UINT32 Attributes, UINTN Size) {
  return gRT->SetVariable(kSetupVariableName, &gSetupVariableGuid, Attributes, Size, Setup);
}

UINT8 Inverse(UINT8 Flag) {
  return Flag == 0 ? 1 : 0;
}

} // namespace

EFI_STATUS SyncSetupWithTpm() {
  SetupData setup;
  UINT32 attributes = 0;
  UINTN size = 0;
  EFI_STATUS status = ReadSetupVariable(&setup, &attributes, &size);
  if (EFI_ERROR(status))
    return status;
  UINT8 *b = setup.Bytes;
  bool changed = false;

  if (b[kSetupClearGuard] != 0 && b[kSetupClearedAtStartup] != 0) {
    b[kSetupClearedAtStartup] = 0;
    changed = true;
  }
  // Setup holds the inverse of the flags: a byte equal to the flag is wrong.
  const UINT8 disable = gTpmFlagsCache.Disable;
  if (b[kSetupTpmEnableSetting] == disable || b[kSetupTpmEnabled] == disable) {
    b[kSetupTpmEnableSetting] = Inverse(disable);
    b[kSetupTpmEnabled] = Inverse(disable);
    changed = true;
  }
  const UINT8 deactivated = gTpmFlagsCache.Deactivated;
  if (b[kSetupTpmActivated] == deactivated) {
    b[kSetupTpmActivated] = Inverse(deactivated);
    changed = true;
  }
  if (b[kSetupTpmOwned] != gTpmOwnedFlag) {
    b[kSetupTpmOwned] = gTpmOwnedFlag;
    changed = true;
  }
  if (changed)
    return WriteSetupVariable(&setup, attributes, size);
  return status;
}

VOID UpdateSetupTpmEnable(BOOLEAN Disabled) {
  SetupData setup;
  UINT32 attributes = 0;
  UINTN size = 0;
  if (EFI_ERROR(ReadSetupVariable(&setup, &attributes, &size)))
    return;
  UINT8 &enable = setup.Bytes[kSetupTpmEnableSetting];
  if (Disabled && enable == 1)
    enable = 0;
  else if (!Disabled && enable == 0)
    enable = 1;
  else
    return;
  (void)WriteSetupVariable(&setup, attributes, size);
}

EFI_STATUS EFIAPI SyncTpmEnableHook() {
  EFI_TCG_PROTOCOL *tcg = nullptr;
  EFI_STATUS status = LocateTcg(&tcg);
  if (EFI_ERROR(status))
    return status;
  TpmPermanentFlagsRecord flags = {};
  TpmReadPermanentFlags(tcg, &flags);
  UpdateSetupTpmEnable(flags.Disable == 1);
  return status;
}

} // namespace TpmPlatform
