#include "button_smm/HostReset.h"
#include "button_smm/Globals.h"

namespace ButtonSmm {

void ResetDriverState() {
  gButtonSmm = kButtonSmmInitialState;
}

} // namespace ButtonSmm
