// HII database and string protocols (UEFI standard, "HII Protocols").
#pragma once
#include "Uefi/UefiHii.h"

typedef VOID *EFI_HII_HANDLE;
typedef UINT16 EFI_STRING_ID;

struct EFI_HII_DATABASE_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_HII_DATABASE_NEW_PACK)(
    const EFI_HII_DATABASE_PROTOCOL *This, const EFI_HII_PACKAGE_LIST_HEADER *PackageList,
    EFI_HANDLE DriverHandle, EFI_HII_HANDLE *Handle);
typedef EFI_STATUS(EFIAPI *EFI_HII_DATABASE_REMOVE_PACK)(const EFI_HII_DATABASE_PROTOCOL *This,
                                                         EFI_HII_HANDLE Handle);

// Only the first two entries are called; the rest keep their slots.
struct EFI_HII_DATABASE_PROTOCOL {
  EFI_HII_DATABASE_NEW_PACK NewPackageList;
  EFI_HII_DATABASE_REMOVE_PACK RemovePackageList;
  VOID *UpdatePackageList;
  VOID *ListPackageLists;
  VOID *ExportPackageLists;
  VOID *RegisterPackageNotify;
  VOID *UnregisterPackageNotify;
  VOID *FindKeyboardLayouts;
  VOID *GetKeyboardLayout;
  VOID *SetKeyboardLayout;
  VOID *GetPackageListHandle;
};
static_assert(sizeof(EFI_HII_DATABASE_PROTOCOL) == 11 * 8, "HII database slots");

inline constexpr EFI_GUID gEfiHiiDatabaseProtocolGuid = {
    0xEF9FC172, 0xA1B2, 0x4693, {0xB3, 0x27, 0x6D, 0x32, 0xFC, 0x41, 0x60, 0x42}};

struct EFI_HII_STRING_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_HII_GET_STRING)(const EFI_HII_STRING_PROTOCOL *This,
                                               const CHAR8 *Language, EFI_HII_HANDLE PackageList,
                                               EFI_STRING_ID StringId, CHAR16 *String,
                                               UINTN *StringSize, VOID **StringFontInfo);

struct EFI_HII_STRING_PROTOCOL {
  VOID *NewString;
  EFI_HII_GET_STRING GetString;
  VOID *SetString;
  VOID *GetLanguages;
  VOID *GetSecondaryLanguages;
};
static_assert(sizeof(EFI_HII_STRING_PROTOCOL) == 5 * 8, "HII string slots");

inline constexpr EFI_GUID gEfiHiiStringProtocolGuid = {
    0x0FD96974, 0x23AA, 0x4CDC, {0xB9, 0xCB, 0x98, 0xD1, 0x77, 0x50, 0x32, 0x2A}};
