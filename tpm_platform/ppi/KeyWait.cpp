// The user's answer: an override protocol decides when present, otherwise a
// function key on the console input.
#include "Platform/PpiConfirmOverrideProtocol.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

BOOLEAN WaitForPpiConfirmation() {
  VOID *Interface = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gPpiConfirmOverrideProtocolGuid, nullptr, &Interface)) &&
      Interface != nullptr)
    return (static_cast<PpiConfirmOverrideProtocol *>(Interface)->GetDecision() & 0xFF) != 0;

  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn = gST->ConIn;
  if (ConIn == nullptr)
    return FALSE;

  const BOOLEAN ClearClass = PpiOperation(gPpi.CurrentOperation).ClearClass;
  for (;;) {
    EFI_INPUT_KEY Key = {};
    // Anything but an exact EFI_SUCCESS, warnings included, is no key yet.
    if (ConIn->ReadKeyStroke(ConIn, &Key) != EFI_SUCCESS)
      continue;
    if (ClearClass) {
      if (Key.ScanCode == SCAN_F3)
        return TRUE;
      if (Key.ScanCode == SCAN_F4)
        return FALSE;
    } else if (Key.ScanCode == SCAN_F1) {
      return TRUE;
    }
    if (Key.ScanCode == SCAN_F2 && gPpi.ConfirmationMode == kPpiConfirmWithRefusal)
      return FALSE;
  }
}

} // namespace TpmPlatform
