// Hook slot 5: the options record the platform's TCG core asks for.
#include "tpm_platform/core/Hooks.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI GetPlatformOptions(UINT8 *Options) {
  // A caller without a buffer gets nothing written.
  if (Options == nullptr)
    return EFI_INVALID_PARAMETER;
  Options[0] = 1;
  Options[1] = 0;
  Options[2] = 0;
  Options[3] = 0;
  return EFI_SUCCESS;
}

} // namespace TpmPlatform
