// Host build only: the button table, event state, key-code queue, brightness
// and the cached password service back to their load-time values.
#include "button_smm/Brightness.h"
#include "button_smm/Buttons.h"
#include "button_smm/HostReset.h"
#include "button_smm/Password.h"

namespace ButtonSmm {

void ResetButtonsState() {
  for (UINTN Index = 0; Index < kButtonCount; ++Index)
    gLiveButtons[Index] = DefaultButtons[Index];
  gEventState = {};
  gKeyCodeQueue = {};
  gCurrentBrightness = 0;
  gPasswordService = nullptr;
}

} // namespace ButtonSmm
