// Placeholder until the measurements land: replace this file.
#include "tpm_platform/HostReset.h"

namespace TpmPlatform {
void ResetMeasureState() {}
} // namespace TpmPlatform
