// The DSDT flag patch that start-up applies: find the DSDT through the ACPI
// support protocol and rewrite the integer constant of a Name declaration.
#pragma once
#include "Framework/AcpiSupport.h"
#include "Uefi/UefiBaseType.h"

namespace TpmPlatform {

// The DSDT of the first "FACP" table the protocol lists (its 32-bit address
// field), or NULL: no protocol, no FADT, or a DSDT address of 0.
VOID *FindDsdt(EFI_ACPI_SUPPORT_PROTOCOL *AcpiSupport);

// Sets the integer constant of `Name (<Name>, ...)` in the DSDT body to Value,
// in the constant's own encoding; the table's length and checksum stay.
// EFI_NOT_FOUND: no such declaration. EFI_INVALID_PARAMETER: the constant is no
// integer (or lies beyond the table), or a Zero/One cannot hold Value.
EFI_STATUS PatchDsdtNameValue(VOID *Dsdt, const CHAR8 *Name, UINT64 Value);

} // namespace TpmPlatform
