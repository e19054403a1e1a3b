// StringPackageProtocol: serves the string package stored in a driver image.
// Slots count the interface's 64-bit entries from 0; the entries take no
// interface pointer. Only slots 1 and 5 are called by the drivers.
#pragma once
#include "Uefi/UefiBaseType.h"

typedef VOID *STRING_PACKAGE_HANDLE;

// Loads the strings that belong to the image; the handle names them later.
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_LOAD)(EFI_HANDLE ImageHandle,
                                                STRING_PACKAGE_HANDLE *PackageHandle);
// Registers a package list (EFI_HII_PACKAGE_LIST_HEADER and its packages).
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_ADD)(const VOID *PackageList,
                                               STRING_PACKAGE_HANDLE *PackageHandle);
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_REMOVE)(STRING_PACKAGE_HANDLE PackageHandle);
// The package's languages as ASCII codes separated by ';' ("en-US;fr-FR");
// *Size is the buffer's capacity in bytes on entry and the bytes needed
// (terminator included) on return.
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_GET_LANGUAGES)(STRING_PACKAGE_HANDLE PackageHandle,
                                                         CHAR8 *Languages, UINTN *Size);
// As ReadPackageString, in the given language.
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_READ_LANGUAGE)(STRING_PACKAGE_HANDLE PackageHandle,
                                                         const CHAR8 *Language, UINT16 Token,
                                                         UINTN *Length, CHAR16 *Buffer);
// Copies string Token into Buffer; *Length is the capacity in characters on
// entry and the characters needed (terminator included) on return.
typedef EFI_STATUS(EFIAPI *STRING_PACKAGE_READ)(STRING_PACKAGE_HANDLE PackageHandle, UINT16 Token,
                                                UINTN *Length, CHAR16 *Buffer);

struct StringPackageProtocol {
  STRING_PACKAGE_ADD AddPackageList;               // slot 0
  STRING_PACKAGE_LOAD LoadStringPackage;           // slot 1
  STRING_PACKAGE_REMOVE RemovePackageList;         // slot 2
  STRING_PACKAGE_GET_LANGUAGES GetLanguages;       // slot 3
  STRING_PACKAGE_READ_LANGUAGE ReadLanguageString; // slot 4
  STRING_PACKAGE_READ ReadPackageString;           // slot 5 (the first language)
};
static_assert(__builtin_offsetof(StringPackageProtocol, LoadStringPackage) == 1 * 8, "slot 1");
static_assert(__builtin_offsetof(StringPackageProtocol, ReadPackageString) == 5 * 8, "slot 5");
static_assert(sizeof(StringPackageProtocol) == 6 * 8, "six slots");

inline constexpr EFI_GUID gStringPackageProtocolGuid = {
    0x67B5787C, 0x0E6A, 0x4796, {0x94, 0x3E, 0xA0, 0x93, 0xB7, 0x3A, 0x02, 0x67}};
