#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

constinit PpiModuleState gPpi = kPpiInitialState;

} // namespace TpmPlatform
