// Placeholder until the button events land: GPI 6 does nothing yet.
#include "button_smm/Routines.h"

namespace ButtonSmm {

VOID EFIAPI ButtonEventHandler(EFI_HANDLE, VOID *) {}

} // namespace ButtonSmm
