// FFS file header (PI standard, volume 3, "Firmware File System").
#pragma once
#include "Uefi/UefiBaseType.h"

typedef UINT8 EFI_FV_FILETYPE;
typedef UINT8 EFI_FFS_FILE_ATTRIBUTES;
typedef UINT8 EFI_FFS_FILE_STATE;

#pragma pack(push, 1)
struct EFI_FFS_FILE_HEADER {
  EFI_GUID Name;
  UINT8 IntegrityCheckHeader;
  UINT8 IntegrityCheckFile;
  EFI_FV_FILETYPE Type;
  EFI_FFS_FILE_ATTRIBUTES Attributes;
  UINT8 Size[3];
  EFI_FFS_FILE_STATE State;
};
#pragma pack(pop)
static_assert(sizeof(EFI_FFS_FILE_HEADER) == 24, "FFS header");
static_assert(__builtin_offsetof(EFI_FFS_FILE_HEADER, IntegrityCheckHeader) == 0x10, "FFS header");
static_assert(__builtin_offsetof(EFI_FFS_FILE_HEADER, Type) == 0x12, "FFS header");
static_assert(__builtin_offsetof(EFI_FFS_FILE_HEADER, Attributes) == 0x13, "FFS header");
static_assert(__builtin_offsetof(EFI_FFS_FILE_HEADER, Size) == 0x14, "FFS header");
static_assert(__builtin_offsetof(EFI_FFS_FILE_HEADER, State) == 0x17, "FFS header");

constexpr EFI_FV_FILETYPE EFI_FV_FILETYPE_ALL = 0x00;
constexpr EFI_FV_FILETYPE EFI_FV_FILETYPE_RAW = 0x01;
constexpr EFI_FV_FILETYPE EFI_FV_FILETYPE_FREEFORM = 0x02;
constexpr EFI_FV_FILETYPE EFI_FV_FILETYPE_DRIVER = 0x07;
constexpr EFI_FV_FILETYPE EFI_FV_FILETYPE_FFS_PAD = 0xF0;

constexpr EFI_FFS_FILE_ATTRIBUTES FFS_ATTRIB_CHECKSUM = 0x40;

constexpr EFI_FFS_FILE_STATE EFI_FILE_HEADER_CONSTRUCTION = 0x01;
constexpr EFI_FFS_FILE_STATE EFI_FILE_HEADER_VALID = 0x02;
constexpr EFI_FFS_FILE_STATE EFI_FILE_DATA_VALID = 0x04;

// IntegrityCheckFile value of a file stored without a data checksum.
constexpr UINT8 FFS_FIXED_CHECKSUM = 0xAA;
