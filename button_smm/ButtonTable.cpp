// Placeholder until the button table lands.
#include "button_smm/Routines.h"

namespace ButtonSmm {

VOID ApplyButtonEcBits(UINTN, BOOLEAN) {}

EFI_STATUS RestoreDefaults(UINTN Index) {
  return Index < 6 ? EFI_UNSUPPORTED : EFI_INVALID_PARAMETER;
}

} // namespace ButtonSmm
