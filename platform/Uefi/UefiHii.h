// HII package formats (UEFI standard, "Human Interface Infrastructure
// Overview" and "HII Protocols"): package lists and string packages.
#pragma once
#include "Uefi/UefiBaseType.h"

typedef UINT16 EFI_STRING_ID;

#pragma pack(push, 1)
// Length (bits 0-23, bytes of the whole package) and Type (bits 24-31).
struct EFI_HII_PACKAGE_HEADER {
  UINT32 LengthAndType;
};

struct EFI_HII_PACKAGE_LIST_HEADER {
  EFI_GUID PackageListGuid;
  UINT32 PackageLength; // bytes of the list, this header and the end package included
};

// Followed by the NUL-terminated ASCII language code (RFC 4646), then at
// StringInfoOffset by the string blocks.
struct EFI_HII_STRING_PACKAGE_HDR {
  EFI_HII_PACKAGE_HEADER Header;
  UINT32 HdrSize;
  UINT32 StringInfoOffset;
  CHAR16 LanguageWindow[16];
  EFI_STRING_ID LanguageName;
};
#pragma pack(pop)
static_assert(sizeof(EFI_HII_PACKAGE_HEADER) == 4, "package header");
static_assert(sizeof(EFI_HII_PACKAGE_LIST_HEADER) == 20, "package list header");
static_assert(sizeof(EFI_HII_STRING_PACKAGE_HDR) == 46, "string package header");
static_assert(__builtin_offsetof(EFI_HII_STRING_PACKAGE_HDR, StringInfoOffset) == 8, "layout");
static_assert(__builtin_offsetof(EFI_HII_STRING_PACKAGE_HDR, LanguageName) == 44, "layout");

constexpr UINT32 HiiPackageLength(UINT32 LengthAndType) {
  return LengthAndType & 0x00FFFFFF;
}
constexpr UINT8 HiiPackageType(UINT32 LengthAndType) {
  return UINT8(LengthAndType >> 24);
}
constexpr UINT32 HiiPackageHeader(UINT32 Length, UINT8 Type) {
  return (Length & 0x00FFFFFF) | (UINT32(Type) << 24);
}

constexpr UINT8 EFI_HII_PACKAGE_STRINGS = 0x04;
constexpr UINT8 EFI_HII_PACKAGE_END = 0xDF;

// String block types.
constexpr UINT8 EFI_HII_SIBT_END = 0x00;
constexpr UINT8 EFI_HII_SIBT_STRING_SCSU = 0x10;
constexpr UINT8 EFI_HII_SIBT_STRING_SCSU_FONT = 0x11;
constexpr UINT8 EFI_HII_SIBT_STRINGS_SCSU = 0x12;
constexpr UINT8 EFI_HII_SIBT_STRINGS_SCSU_FONT = 0x13;
constexpr UINT8 EFI_HII_SIBT_STRING_UCS2 = 0x14;
constexpr UINT8 EFI_HII_SIBT_STRING_UCS2_FONT = 0x15;
constexpr UINT8 EFI_HII_SIBT_STRINGS_UCS2 = 0x16;
constexpr UINT8 EFI_HII_SIBT_STRINGS_UCS2_FONT = 0x17;
constexpr UINT8 EFI_HII_SIBT_DUPLICATE = 0x20;
constexpr UINT8 EFI_HII_SIBT_SKIP2 = 0x21;
constexpr UINT8 EFI_HII_SIBT_SKIP1 = 0x22;
constexpr UINT8 EFI_HII_SIBT_EXT1 = 0x30;
constexpr UINT8 EFI_HII_SIBT_EXT2 = 0x31;
constexpr UINT8 EFI_HII_SIBT_EXT4 = 0x32;
constexpr UINT8 EFI_HII_SIBT_FONT = 0x40;

// Installed on an image handle whose image carries HII packages.
inline constexpr EFI_GUID gEfiHiiPackageListProtocolGuid = {
    0x6A1EE763, 0xD47A, 0x43B4, {0xAA, 0xBE, 0xEF, 0x1D, 0xE2, 0xAB, 0x56, 0xFC}};
