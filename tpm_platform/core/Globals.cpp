#include "tpm_platform/core/Globals.h"

namespace TpmPlatform {

constinit CoreState gCore = kCoreInitialState;

} // namespace TpmPlatform
