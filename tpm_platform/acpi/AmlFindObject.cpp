#include "tpm_platform/acpi/AmlObject.h"

namespace TpmPlatform {

namespace {

// The NameSeg of a name: its characters over four '_'. A longer name has no
// NameSeg.
BOOLEAN MakeNameSeg(const CHAR8 *Name, UINT8 *Seg) {
  UINTN length = 0;
  while (Name[length] != '\0') {
    if (length == AML_NAME_SEG_SIZE)
      return FALSE;
    ++length;
  }
  for (UINTN i = 0; i < AML_NAME_SEG_SIZE; ++i)
    Seg[i] = i < length ? UINT8(Name[i]) : UINT8('_');
  return TRUE;
}

BOOLEAN SegAt(const UINT8 *At, const UINT8 *Seg) {
  return At[0] == Seg[0] && At[1] == Seg[1] && At[2] == Seg[2] && At[3] == Seg[3];
}

} // namespace

// A byte-pattern scan, not a parser: the first occurrence of the NameSeg that
// the kind's opcode directly precedes (after an optional prefix) counts. Only
// bytes inside the range are ever looked at, on either side of a match.
EFI_STATUS AmlFindObject(UINT8 *Aml, UINTN Length, const CHAR8 *Name, UINT32 Kind,
                         AmlObjectInfo *Info) {
  const AmlObjectKind *kind = AmlLookupKind(Kind);
  if (kind == nullptr)
    return EFI_NOT_FOUND;
  if (Aml == nullptr || Name == nullptr || Info == nullptr)
    return EFI_INVALID_PARAMETER;
  UINT8 seg[AML_NAME_SEG_SIZE];
  if (!MakeNameSeg(Name, seg))
    return EFI_INVALID_PARAMETER;
  if (Length < AML_NAME_SEG_SIZE)
    return EFI_NOT_FOUND;

  for (UINTN c = 0; c + AML_NAME_SEG_SIZE <= Length;) {
    if (!SegAt(Aml + c, seg)) {
      ++c;
      continue;
    }
    UINTN n = c;
    if (n > 0 && (Aml[n - 1] == AML_ROOT_PREFIX || Aml[n - 1] == AML_PARENT_PREFIX))
      --n;
    BOOLEAN confirmed = kind->NameFollowsOpcode && n >= kind->OpcodeLength;
    for (UINTN i = 0; confirmed && i < kind->OpcodeLength; ++i)
      confirmed = Aml[n - kind->OpcodeLength + i] == kind->Opcode[i];
    if (confirmed) {
      Info->ObjectStart = Aml + n - kind->OpcodeLength;
      Info->NameStart = Aml + n;
      Info->DataStart = Aml + c + AML_NAME_SEG_SIZE + kind->DataOffset;
      Info->Kind = Kind;
      Info->Length = 0;
      return EFI_SUCCESS;
    }
    c += AML_NAME_SEG_SIZE;
  }
  return EFI_NOT_FOUND;
}

} // namespace TpmPlatform
