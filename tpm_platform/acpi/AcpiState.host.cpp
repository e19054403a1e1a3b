// The DSDT patch keeps no state between calls.
#include "tpm_platform/HostReset.h"

namespace TpmPlatform {
void ResetAcpiState() {}
} // namespace TpmPlatform
