// Boot variables: "BootOrder" and each Boot#### it lists, in its order, into
// PCR 1 or PCR 5 as the platform state record chooses.
#include "Platform/TpmPlatformStateProtocol.h"
#include "support/Format.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

EFI_STATUS EFIAPI MeasureBootVariables() {
  const UINT32 Pcr = TpmPlatformStateByte(kTpmStateBootVariablesPcr1) != 0 ? 1 : 5;

  // Holds "BootOrder" first, then each formatted "Boot####".
  CHAR16 Name[10] = u"BootOrder";
  UINTN OrderSize = 0;
  VOID *Order = nullptr;
  EFI_STATUS Status = MeasureBootVariable(Name, &gEfiGlobalVariableGuid, &OrderSize, &Order, Pcr);
  if (EFI_ERROR(Status)) {
    // "BootOrder" may have been read before the measurement failed.
    if (Order)
      gBS->FreePool(Order);
    return Status == EFI_NOT_FOUND ? EFI_SUCCESS : Status;
  }

  const UINTN Count = OrderSize / sizeof(UINT16);
  const auto *Options = static_cast<const UINT8 *>(Order);
  for (UINTN Index = 0; Index < Count; ++Index) {
    const UINT16 Option = static_cast<UINT16>(Options[2 * Index] | Options[2 * Index + 1] << 8);
    FormatWide(Name, sizeof(Name), u"Boot%04X", Option);
    UINTN Size = 0;
    VOID *Data = nullptr;
    MeasureBootVariable(Name, &gEfiGlobalVariableGuid, &Size, &Data, Pcr);
    if (Data)
      gBS->FreePool(Data);
  }
  gBS->FreePool(Order);
  return EFI_SUCCESS;
}

} // namespace TpmPlatform
