// Placeholder until the DSDT patch lands: replace this file.
#include "tpm_platform/acpi/DsdtPatch.h"

namespace TpmPlatform {

VOID *FindDsdt(EFI_ACPI_SUPPORT_PROTOCOL *) {
  return nullptr;
}
EFI_STATUS PatchDsdtNameValue(VOID *, const CHAR8 *, UINT64) {
  return EFI_UNSUPPORTED;
}

} // namespace TpmPlatform
