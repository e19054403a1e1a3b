// Whether a request is pending and whether the platform waives the user's
// confirmation for it.
#include "Platform/TpmPlatformStateProtocol.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

BOOLEAN IsPpiRequestPending() {
  if (TpmPlatformStateByte(kTpmStatePpiNoRequest) != 0)
    return FALSE;
  UINT8 Operation = TpmPlatformStateByte(kTpmStatePpiOperation);
  if (Operation >= 1 && Operation <= kPpiLastOperation)
    return TRUE;
  return TpmPlatformStateByte(kTpmStatePpiForcePending) == 1;
}

BOOLEAN IsProvisioningOperation(UINT8 Operation) {
  switch (Operation) {
  case 1:
  case 2:
  case 3:
  case 4:
  case 6:
  case 7:
  case 8:
  case 9:
  case 10:
  case 11:
  case 13:
    return TRUE;
  default:
    return FALSE;
  }
}

BOOLEAN CanSkipConfirmation(UINT8 Operation) {
  const BOOLEAN NotOwned = TpmOwnedFlag == 0;
  const BOOLEAN NoPpiProvision = TpmPlatformStateByte(kTpmStateNoPpiProvision) != 0;
  const BOOLEAN NoPpiClear = TpmPlatformStateByte(kTpmStateNoPpiClear) != 0;

  if (TpmPlatformStateByte(kTpmStatePpiForcePending) == 1 &&
      TpmPlatformStateByte(kTpmStatePpiNoConfirmForced) != 0)
    return TRUE;
  if (IsProvisioningOperation(Operation) && NoPpiProvision && NotOwned)
    return TRUE;
  if ((Operation == kPpiClear || Operation == kPpiEnableActivateClear) && NoPpiClear)
    return TRUE;
  if (Operation == kPpiDeferredPresence && TpmPlatformStateByte(kTpmStateNoPpiMaintenance) != 0)
    return TRUE;
  if ((Operation == kPpiClearEnableActivate ||
       Operation == kPpiEnableActivateClearEnableActivate) &&
      NoPpiClear && NoPpiProvision && NotOwned)
    return TRUE;
  return FALSE;
}

} // namespace TpmPlatform
