// Searching the PI HOB lists that the configuration table publishes.
#pragma once
#include "Pi/PiHob.h"
#include "Uefi/UefiSpec.h"

namespace TpmPlatform {

// First HOB at or after Hob whose type is Type; NULL when the end of the list
// (or a HOB too short to hold its own header) comes first, or Hob is NULL.
const EFI_HOB_GENERIC_HEADER *GetNextHob(UINT16 Type, const EFI_HOB_GENERIC_HEADER *Hob);

// Walks GUID-extension HOBs from *Cursor. On a match the data pointer and size
// are returned and *Cursor is left just past that HOB.
EFI_STATUS GetNextGuidHob(const EFI_HOB_GENERIC_HEADER **Cursor, const EFI_GUID *Name,
                          const VOID **Data, UINTN *DataSize);

// Data of the first GUID HOB named Name found in the HOB lists of the
// configuration table, entries visited last to first; NULL when none.
const VOID *FindGuidHobData(UINTN TableEntries, const EFI_CONFIGURATION_TABLE *Table,
                            const EFI_GUID *Name);

} // namespace TpmPlatform
