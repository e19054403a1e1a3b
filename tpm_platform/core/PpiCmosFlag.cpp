// CMOS register 0x6F: tells the next boot's earlier phase that an operation
// was recorded for it.
#include "Platform/TpmPlatformVariables.h"
#include "support/Hw.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

VOID WritePpiCmosFlag(UINT8 Value) {
  PortWrite8(kCmosIndexPort, kCmosPpiFlagRegister);
  PortWrite8(kCmosDataPort, Value);
}

} // namespace TpmPlatform
