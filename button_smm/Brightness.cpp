// Placeholder until brightness control lands.
#include "button_smm/Routines.h"

namespace ButtonSmm {

UINT8 GetBrightnessPercent() {
  return 0;
}
VOID SetBrightnessPercent(UINT8) {}
VOID EFIAPI BrightnessSmiHandler(EFI_HANDLE, VOID *) {}

} // namespace ButtonSmm
