// Variable and CMOS access for the application's checks.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

// Reads a variable into Buffer (capacity *Size); *Size is the data size on return.
EFI_STATUS ReadVariable(const CHAR16 *Name, const EFI_GUID &Guid, VOID *Buffer, UINTN *Size,
                        UINT32 *Attributes = nullptr);
EFI_STATUS WriteVariable(const CHAR16 *Name, const EFI_GUID &Guid, UINT32 Attributes,
                         const VOID *Data, UINTN Size);
EFI_STATUS DeleteVariable(const CHAR16 *Name, const EFI_GUID &Guid);
// TRUE when the variable holds exactly these bytes.
BOOLEAN VariableEquals(const CHAR16 *Name, const EFI_GUID &Guid, const UINT8 *Expected, UINTN Size);
UINT8 ReadCmos(UINT8 Register);
VOID WriteCmos(UINT8 Register, UINT8 Value);

} // namespace FirmwareTest
