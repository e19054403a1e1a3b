// The hook table's entry points. Each subsystem implements its own:
// core/ slots 2 and 5, measure/ slots 0, 1 and 4, ppi/ slots 3 and 6.
#pragma once
#include "Platform/PlatformHooksProtocol.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI MicrocodeHook();
EFI_STATUS EFIAPI OptionRomHook();
EFI_STATUS EFIAPI SyncTpmEnableHook();
EFI_STATUS EFIAPI ProcessPpiRequestHook();
EFI_STATUS EFIAPI ReadyToBootHook();
EFI_STATUS EFIAPI GetPlatformOptions(UINT8 *Options);
EFI_STATUS EFIAPI ZeroPpiVariableHook();

// The installed table (static data, never changed).
extern constinit PlatformHooksProtocol gPlatformHooks;

} // namespace TpmPlatform
