// SMBIOS 2.x entry point structure (DMTF SMBIOS standard) and its
// configuration-table GUID.
#pragma once
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
struct SMBIOS_TABLE_ENTRY_POINT {
  UINT8 AnchorString[4]; // "_SM_"
  UINT8 EntryPointStructureChecksum;
  UINT8 EntryPointLength;
  UINT8 MajorVersion;
  UINT8 MinorVersion;
  UINT16 MaxStructureSize;
  UINT8 EntryPointRevision;
  UINT8 FormattedArea[5];
  UINT8 IntermediateAnchorString[5]; // "_DMI_"
  UINT8 IntermediateChecksum;
  UINT16 TableLength;
  UINT32 TableAddress;
  UINT16 NumberOfSmbiosStructures;
  UINT8 SmbiosBcdRevision;
};

struct SMBIOS_STRUCTURE {
  UINT8 Type;
  UINT8 Length;
  UINT16 Handle;
};
#pragma pack(pop)
static_assert(sizeof(SMBIOS_TABLE_ENTRY_POINT) == 0x1F, "SMBIOS entry point");
static_assert(__builtin_offsetof(SMBIOS_TABLE_ENTRY_POINT, TableLength) == 0x16, "SMBIOS EP");
static_assert(__builtin_offsetof(SMBIOS_TABLE_ENTRY_POINT, TableAddress) == 0x18, "SMBIOS EP");
static_assert(sizeof(SMBIOS_STRUCTURE) == 4, "SMBIOS structure header");

inline constexpr EFI_GUID gEfiSmbiosTableGuid = {
    0xEB9D2D31, 0x2D88, 0x11D3, {0x9A, 0x16, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};
