// The table installed as PlatformHooksProtocol; lives in static data and is
// never changed.
#include "tpm_platform/core/Hooks.h"

namespace TpmPlatform {

constinit PlatformHooksProtocol gPlatformHooks = {
    MicrocodeHook,   OptionRomHook,      SyncTpmEnableHook,   ProcessPpiRequestHook,
    ReadyToBootHook, GetPlatformOptions, ZeroPpiVariableHook,
};

} // namespace TpmPlatform
