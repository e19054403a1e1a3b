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

BOOLEAN CanSkipConfirmation(UINT8 Operation) {
  const BOOLEAN NotOwned = gTpmOwnedFlag == 0;
  const BOOLEAN NoPpiProvision = TpmPlatformStateByte(kTpmStateNoPpiProvision) != 0;
  const BOOLEAN NoPpiClear = TpmPlatformStateByte(kTpmStateNoPpiClear) != 0;

  if (TpmPlatformStateByte(kTpmStatePpiForcePending) == 1 &&
      TpmPlatformStateByte(kTpmStatePpiNoConfirmForced) != 0)
    return TRUE;
  switch (PpiOperation(Operation).Waiver) {
  case PpiWaiver::NoPpiProvision:
    return NoPpiProvision && NotOwned;
  case PpiWaiver::NoPpiClear:
    return NoPpiClear;
  case PpiWaiver::NoPpiMaintenance:
    return TpmPlatformStateByte(kTpmStateNoPpiMaintenance) != 0;
  case PpiWaiver::NoPpiClearAndProvision:
    return NoPpiClear && NoPpiProvision && NotOwned;
  case PpiWaiver::None:
    break;
  }
  return FALSE;
}

} // namespace TpmPlatform
