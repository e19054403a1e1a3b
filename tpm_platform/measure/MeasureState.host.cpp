// Host build only: the measurement globals back to their load-time values.
#include "tpm_platform/HostReset.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

void ResetMeasureState() {
  gMeasure = kMeasureInitialState;
}

} // namespace TpmPlatform
