// Wake event: the wake source of the earlier boot phase as an action string
// in PCR 6.
#include "Platform/WakeInfoHob.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/HobList.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {
constexpr UINT8 kWakeTypeDefault = 0x02;
constexpr UINT8 kWakeTypeSpecial = 0x06;
constexpr UINTN kWakeTypeIndex = 11;
} // namespace

EFI_STATUS GetWakeType(UINT8 *WakeType) {
  *WakeType = kWakeTypeDefault;
  const VOID *Data =
      FindGuidHobData(gST->NumberOfTableEntries, gST->ConfigurationTable, &gWakeInfoHobGuid);
  if (Data != nullptr) {
    UINT32 Source;
    CopyBytes(&Source, Data, sizeof(Source));
    if (Source == 0 || Source == 5 || Source == 6)
      *WakeType = kWakeTypeSpecial;
  }
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI MeasureWakeEvent() {
  // The last blank is replaced by the wake type as a raw byte, not a digit.
  CHAR8 Text[] = "Wake Event  ";
  static_assert(sizeof(Text) == 13);
  UINT8 WakeType;
  EFI_STATUS Status = GetWakeType(&WakeType);
  if (EFI_ERROR(Status))
    return Status;
  Text[kWakeTypeIndex] = static_cast<CHAR8>(WakeType);
  return MeasureAction(Text, kPcrWakeEvent);
}

} // namespace TpmPlatform
