// Placeholder until the command interface lands.
#include "button_smm/Routines.h"

namespace ButtonSmm {

VOID EFIAPI CommandDispatcher(EFI_HANDLE, VOID *) {}

} // namespace ButtonSmm
