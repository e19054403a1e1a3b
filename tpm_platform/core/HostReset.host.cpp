// Host build only: the load-time values of the core globals.
#include "tpm_platform/HostReset.h"
#include "tpm_platform/core/Globals.h"

namespace TpmPlatform {

void ResetCoreState() {
  gImageHandle = nullptr;
  gST = nullptr;
  gBS = nullptr;
  gRT = nullptr;
  TpmPlatformState = nullptr;
  TpmFlagsCache = {};
  TpmOwnedFlag = 0;
  gStringPackageHandle = nullptr;
  gStringPackage = nullptr;
}

void ResetDriverState() {
  ResetCoreState();
  ResetPpiState();
  ResetMeasureState();
  ResetAcpiState();
}

} // namespace TpmPlatform
