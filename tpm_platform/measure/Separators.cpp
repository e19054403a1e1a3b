// Separators close PCRs 0 to 7 before the boot option runs.
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI MeasureSeparators() {
  EFI_STATUS Status = EFI_SUCCESS;
  for (UINT32 Pcr = 0; Pcr <= 7; ++Pcr)
    Status = MeasureSeparator(Pcr);
  return Status;
}

} // namespace TpmPlatform
