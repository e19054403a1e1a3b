#include "Acpi/Fadt.h"
#include "support/Hw.h"
#include "tpm_platform/acpi/DsdtPatch.h"

namespace TpmPlatform {

VOID *FindDsdt(EFI_ACPI_SUPPORT_PROTOCOL *AcpiSupport) {
  if (AcpiSupport == nullptr)
    return nullptr;
  for (INTN index = 0;; ++index) {
    VOID *table = nullptr;
    EFI_ACPI_TABLE_VERSION version = 0;
    UINTN handle = 0;
    if (EFI_ERROR(AcpiSupport->GetAcpiTable(AcpiSupport, index, &table, &version, &handle)))
      return nullptr;
    auto *header = static_cast<const EFI_ACPI_DESCRIPTION_HEADER *>(table);
    if (header == nullptr || header->Signature != EFI_ACPI_FADT_SIGNATURE)
      continue;
    // A FADT too short to hold the address field has no DSDT to offer.
    if (header->Length < EFI_ACPI_FADT_DSDT_END)
      return nullptr;
    const UINT32 dsdt = static_cast<const EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE *>(table)->Dsdt;
    return dsdt == 0 ? nullptr : PhysicalToPointer(dsdt);
  }
}

} // namespace TpmPlatform
