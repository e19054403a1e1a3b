// Placeholder until physical-presence processing lands: replace this file.
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/core/StringPackage.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI ProcessPpiRequestHook() {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI ZeroPpiVariableHook() {
  return EFI_UNSUPPORTED;
}

EFI_STATUS LoadStringPackage(EFI_HANDLE, STRING_PACKAGE_HANDLE *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS ReadPackageString(STRING_PACKAGE_HANDLE, UINT16, UINTN *, CHAR16 *) {
  return EFI_UNSUPPORTED;
}

} // namespace TpmPlatform
