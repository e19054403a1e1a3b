#include "Acpi/AcpiHeader.h"
#include "tpm_platform/acpi/AmlObject.h"
#include "tpm_platform/acpi/DsdtPatch.h"

namespace TpmPlatform {

namespace {

constexpr UINT8 AML_ZERO_OP = 0x00;
constexpr UINT8 AML_ONE_OP = 0x01;
constexpr UINT8 AML_BYTE_PREFIX = 0x0A;
constexpr UINT8 AML_WORD_PREFIX = 0x0B;
constexpr UINT8 AML_DWORD_PREFIX = 0x0C;
constexpr UINT8 AML_QWORD_PREFIX = 0x0E;

// Bytes of the constant's value behind its opcode; 0 for Zero and One, where
// the opcode is the value; -1 for data that is no integer constant.
INTN IntegerValueSize(UINT8 Opcode) {
  switch (Opcode) {
  case AML_ZERO_OP:
  case AML_ONE_OP:
    return 0;
  case AML_BYTE_PREFIX:
    return 1;
  case AML_WORD_PREFIX:
    return 2;
  case AML_DWORD_PREFIX:
    return 4;
  case AML_QWORD_PREFIX:
    return 8;
  default:
    return -1;
  }
}

} // namespace

EFI_STATUS PatchDsdtNameValue(VOID *Dsdt, const CHAR8 *Name, UINT64 Value) {
  if (Dsdt == nullptr)
    return EFI_INVALID_PARAMETER;
  auto *table = static_cast<UINT8 *>(Dsdt);
  const UINT32 length = static_cast<EFI_ACPI_DESCRIPTION_HEADER *>(Dsdt)->Length;
  if (length <= sizeof(EFI_ACPI_DESCRIPTION_HEADER))
    return EFI_NOT_FOUND;

  AmlObjectInfo info;
  EFI_STATUS status =
      AmlFindObject(table + sizeof(EFI_ACPI_DESCRIPTION_HEADER),
                    length - sizeof(EFI_ACPI_DESCRIPTION_HEADER), Name, AML_KIND_NAME, &info);
  if (EFI_ERROR(status))
    return status;

  // A declaration cut off by the end of the table has no constant to rewrite,
  // and writing its value would land outside the table.
  UINT8 *data = info.DataStart;
  const UINT8 *end = table + length;
  if (data >= end)
    return EFI_INVALID_PARAMETER;
  const INTN size = IntegerValueSize(*data);
  if (size < 0 || UINTN(end - data) < 1 + UINTN(size))
    return EFI_INVALID_PARAMETER;

  if (size == 0) {
    if (Value > 1)
      return EFI_INVALID_PARAMETER;
    *data = Value == 0 ? AML_ZERO_OP : AML_ONE_OP;
    return EFI_SUCCESS;
  }
  for (INTN i = 0; i < size; ++i)
    data[1 + i] = UINT8(Value >> (8 * i));
  return EFI_SUCCESS;
}

} // namespace TpmPlatform
