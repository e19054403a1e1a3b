// Placeholder until the hardware seam has its address conversion: replace this file.
#include "tpm_platform/acpi/DsdtPatch.h"

namespace TpmPlatform {

VOID *FindDsdt(EFI_ACPI_SUPPORT_PROTOCOL *) {
  return nullptr;
}

} // namespace TpmPlatform
