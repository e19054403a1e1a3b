#include "tests/firmware/app/Variables.h"

#include "support/Hw.h"
#include "support/Strings.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

EFI_STATUS ReadVariable(const CHAR16 *Name, const EFI_GUID &Guid, VOID *Buffer, UINTN *Size,
                        UINT32 *Attributes) {
  return gFw.Rt->GetVariable(Name, &Guid, Attributes, Size, Buffer);
}

EFI_STATUS WriteVariable(const CHAR16 *Name, const EFI_GUID &Guid, UINT32 Attributes,
                         const VOID *Data, UINTN Size) {
  return gFw.Rt->SetVariable(Name, &Guid, Attributes, Size, Data);
}

EFI_STATUS DeleteVariable(const CHAR16 *Name, const EFI_GUID &Guid) {
  EFI_STATUS status = gFw.Rt->SetVariable(Name, &Guid, 0, 0, nullptr);
  return status == EFI_NOT_FOUND ? EFI_SUCCESS : status;
}

BOOLEAN VariableEquals(const CHAR16 *Name, const EFI_GUID &Guid, const UINT8 *Expected,
                       UINTN Size) {
  UINT8 data[64];
  UINTN size = sizeof(data);
  if (EFI_ERROR(ReadVariable(Name, Guid, data, &size)))
    return FALSE;
  return size == Size && CompareBytes(data, Expected, Size) == 0;
}

UINT8 ReadCmos(UINT8 Register) {
  PortWrite8(0x70, Register);
  return PortRead8(0x71);
}

VOID WriteCmos(UINT8 Register, UINT8 Value) {
  PortWrite8(0x70, Register);
  PortWrite8(0x71, Value);
}

} // namespace FirmwareTest
