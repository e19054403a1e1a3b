// Host build only: the load-time values of the core globals.
#include "tpm_platform/HostReset.h"
#include "tpm_platform/core/Globals.h"

namespace TpmPlatform {

void ResetCoreState() {
  gCore = kCoreInitialState;
}

void ResetDriverState() {
  ResetCoreState();
  ResetPpiState();
  ResetMeasureState();
  ResetAcpiState();
}

} // namespace TpmPlatform
