#include "tpm_platform/core/HobList.h"

#include "support/Strings.h"

namespace TpmPlatform {

namespace {

// A corrupt list can leave a HOB at any byte: its fields are copied out
// rather than read in place.
EFI_HOB_GENERIC_HEADER Header(const EFI_HOB_GENERIC_HEADER *Hob) {
  EFI_HOB_GENERIC_HEADER header;
  CopyBytes(&header, Hob, sizeof(header));
  return header;
}

const EFI_HOB_GENERIC_HEADER *NextHobAfter(const EFI_HOB_GENERIC_HEADER *Hob) {
  return reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(reinterpret_cast<const UINT8 *>(Hob) +
                                                          Header(Hob).HobLength);
}

// A HOB shorter than its own header cannot be stepped over: the list is
// corrupt from here on and is treated as ended.
bool IsEndOfWalk(const EFI_HOB_GENERIC_HEADER *Hob) {
  EFI_HOB_GENERIC_HEADER header = Header(Hob);
  return header.HobType == EFI_HOB_TYPE_END_OF_HOB_LIST ||
         header.HobLength < sizeof(EFI_HOB_GENERIC_HEADER);
}

} // namespace

const EFI_HOB_GENERIC_HEADER *GetNextHob(UINT16 Type, const EFI_HOB_GENERIC_HEADER *Hob) {
  if (Hob == nullptr)
    return nullptr;
  for (; !IsEndOfWalk(Hob); Hob = NextHobAfter(Hob)) {
    if (Header(Hob).HobType == Type)
      return Hob;
  }
  return nullptr;
}

EFI_STATUS GetNextGuidHob(const EFI_HOB_GENERIC_HEADER **Cursor, const EFI_GUID *Name,
                          const VOID **Data, UINTN *DataSize) {
  if (Data == nullptr || Cursor == nullptr)
    return EFI_INVALID_PARAMETER;
  const EFI_HOB_GENERIC_HEADER *hob = *Cursor;
  while ((hob = GetNextHob(EFI_HOB_TYPE_GUID_EXTENSION, hob)) != nullptr) {
    // A GUID HOB too short for its name ends the walk like a broken length.
    UINT16 length = Header(hob).HobLength;
    if (length < sizeof(EFI_HOB_GUID_TYPE))
      return EFI_NOT_FOUND;
    const auto *guidHob = reinterpret_cast<const EFI_HOB_GUID_TYPE *>(hob);
    const EFI_HOB_GENERIC_HEADER *next = NextHobAfter(hob);
    EFI_GUID name;
    CopyBytes(&name, reinterpret_cast<const UINT8 *>(hob) + sizeof(EFI_HOB_GENERIC_HEADER),
              sizeof(name));
    if (name == *Name) {
      *Data = guidHob + 1;
      if (DataSize != nullptr)
        *DataSize = length - sizeof(EFI_HOB_GUID_TYPE);
      *Cursor = next;
      return EFI_SUCCESS;
    }
    hob = next;
  }
  return EFI_NOT_FOUND;
}

const VOID *FindGuidHobData(UINTN TableEntries, const EFI_CONFIGURATION_TABLE *Table,
                            const EFI_GUID *Name) {
  for (UINTN i = TableEntries; i-- > 0;) {
    if (!(Table[i].VendorGuid == gEfiHobListGuid))
      continue;
    const auto *cursor = static_cast<const EFI_HOB_GENERIC_HEADER *>(Table[i].VendorTable);
    const VOID *data = nullptr;
    if (cursor != nullptr && !EFI_ERROR(GetNextGuidHob(&cursor, Name, &data, nullptr)))
      return data;
  }
  return nullptr;
}

} // namespace TpmPlatform
