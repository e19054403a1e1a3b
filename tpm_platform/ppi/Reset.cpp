// The reset that ends a processed request. Early in the boot ResetSystem may
// return because the Reset Architectural Protocol is not installed yet; the
// reset then waits for that protocol.
#include "Protocol/ResetArch.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

VOID ResetPlatform(EFI_RESET_TYPE ResetType) {
  gPpi.ResetType = ResetType;
  DeleteLastBootFailed();
  gRT->ResetSystem(ResetType, EFI_SUCCESS, 0, nullptr);

  gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, ResetNotify, &gPpi.ResetType, &gPpi.ResetEvent);
  gBS->RegisterProtocolNotify(&gEfiResetArchProtocolGuid, gPpi.ResetEvent, &gPpi.ResetRegistration);
}

VOID EFIAPI ResetNotify(EFI_EVENT, VOID *Context) {
  gRT->ResetSystem(EFI_RESET_TYPE(*static_cast<const UINT32 *>(Context)), EFI_SUCCESS, 0, nullptr);
}

} // namespace TpmPlatform
