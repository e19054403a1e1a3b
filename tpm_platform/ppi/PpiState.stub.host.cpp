// Placeholder until physical-presence processing lands: replace this file.
#include "tpm_platform/HostReset.h"

namespace TpmPlatform {
void ResetPpiState() {}
} // namespace TpmPlatform
