// Placeholder until the measurements land: replace this file.
#include "tpm_platform/core/Hooks.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI MicrocodeHook() {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI OptionRomHook() {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI ReadyToBootHook() {
  return EFI_UNSUPPORTED;
}

} // namespace TpmPlatform
