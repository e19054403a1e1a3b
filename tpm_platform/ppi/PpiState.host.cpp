#include "tpm_platform/ppi/PpiState.h"
#include "tpm_platform/HostReset.h"

namespace TpmPlatform {

void ResetPpiState() {
  gPpi = kPpiInitialState;
}

} // namespace TpmPlatform
