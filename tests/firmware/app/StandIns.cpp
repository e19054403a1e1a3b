#include "tests/firmware/app/StandIns.h"

#include "Platform/PpiConfirmOverrideProtocol.h"
#include "Platform/StringPackageProtocol.h"
#include "Platform/TextScreenProtocol.h"
#include "Protocol/HiiDatabase.h"
#include "support/Strings.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

constinit ScreenCapture gScreen = {};

namespace {

constinit EFI_HII_HANDLE gDriverPackage = nullptr;
constinit UINT8 gDecision = 0;

EFI_HII_DATABASE_PROTOCOL *HiiDatabase() {
  EFI_HII_DATABASE_PROTOCOL *db = nullptr;
  gFw.Bs->LocateProtocol(&gEfiHiiDatabaseProtocolGuid, nullptr, reinterpret_cast<VOID **>(&db));
  return db;
}

EFI_HII_STRING_PROTOCOL *HiiString() {
  EFI_HII_STRING_PROTOCOL *hs = nullptr;
  gFw.Bs->LocateProtocol(&gEfiHiiStringProtocolGuid, nullptr, reinterpret_cast<VOID **>(&hs));
  return hs;
}

UINT32 Read32(const UINT8 *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (UINT32(p[3]) << 24);
}
UINT16 Read16(const UINT8 *p) {
  return UINT16(p[0] | (p[1] << 8));
}

// The package list the image carries in its ".hii" section.
const EFI_HII_PACKAGE_LIST_HEADER *FindImagePackageList(const UINT8 *ImageBase) {
  UINT32 pe = Read32(ImageBase + 0x3C);
  if (Read32(ImageBase + pe) != 0x00004550) // "PE\0\0"
    return nullptr;
  UINT16 sections = Read16(ImageBase + pe + 6);
  UINT16 optionalSize = Read16(ImageBase + pe + 20);
  const UINT8 *table = ImageBase + pe + 24 + optionalSize;
  for (UINT16 i = 0; i < sections; ++i) {
    const UINT8 *section = table + i * 40;
    if (CompareBytes(section, ".hii\0\0\0\0", 8) == 0)
      return reinterpret_cast<const EFI_HII_PACKAGE_LIST_HEADER *>(ImageBase +
                                                                   Read32(section + 12));
  }
  return nullptr;
}

EFI_STATUS EFIAPI LoadPackage(EFI_HANDLE ImageHandle, STRING_PACKAGE_HANDLE *PackageHandle) {
  EFI_LOADED_IMAGE_PROTOCOL *image = nullptr;
  EFI_STATUS status = gFw.Bs->HandleProtocol(ImageHandle, &gEfiLoadedImageProtocolGuid,
                                             reinterpret_cast<VOID **>(&image));
  if (EFI_ERROR(status))
    return status;
  const EFI_HII_PACKAGE_LIST_HEADER *list =
      FindImagePackageList(static_cast<const UINT8 *>(image->ImageBase));
  EFI_HII_DATABASE_PROTOCOL *db = HiiDatabase();
  if (list == nullptr || db == nullptr)
    return EFI_NOT_FOUND;
  EFI_HII_HANDLE handle = nullptr;
  status = db->NewPackageList(db, list, ImageHandle, &handle);
  if (EFI_ERROR(status))
    return status;
  gDriverPackage = handle;
  *PackageHandle = handle;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI ReadString(STRING_PACKAGE_HANDLE PackageHandle, UINT16 Token, UINTN *Length,
                             CHAR16 *Buffer) {
  EFI_HII_STRING_PROTOCOL *hs = HiiString();
  if (hs == nullptr)
    return EFI_UNSUPPORTED;
  UINTN bytes = *Length * sizeof(CHAR16);
  EFI_STATUS status = hs->GetString(hs, "en-US", PackageHandle, Token, Buffer, &bytes, nullptr);
  *Length = bytes / sizeof(CHAR16);
  return status;
}

EFI_STATUS EFIAPI ReadLanguageString(STRING_PACKAGE_HANDLE PackageHandle, const CHAR8 *,
                                     UINT16 Token, UINTN *Length, CHAR16 *Buffer) {
  return ReadString(PackageHandle, Token, Length, Buffer);
}

EFI_STATUS EFIAPI AddPackageList(const VOID *, STRING_PACKAGE_HANDLE *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI RemovePackageList(STRING_PACKAGE_HANDLE) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI GetLanguages(STRING_PACKAGE_HANDLE, CHAR8 *, UINTN *) {
  return EFI_UNSUPPORTED;
}

constinit StringPackageProtocol gStringPackage = {
    AddPackageList, LoadPackage, RemovePackageList, GetLanguages, ReadLanguageString, ReadString};

// The text screen: lines go to the console (so the serial log shows the
// screen) and into the capture the checks read.
EFI_STATUS EFIAPI ScreenPrintLine(const CHAR16 *String) {
  if (gScreen.Lines < kScreenLines) {
    CHAR16 *line = gScreen.Text[gScreen.Lines++];
    UINTN n = 0;
    while (String[n] != 0 && n + 1 < kScreenWidth) {
      line[n] = String[n];
      ++n;
    }
    line[n] = 0;
  }
  Print(u"screen| %s", String);
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI ScreenPrint(const CHAR16 *String) {
  return ScreenPrintLine(String);
}
EFI_STATUS EFIAPI ScreenClear() {
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI ScreenSetAttribute(UINTN) {
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI ScreenGetSize(UINTN *Columns, UINTN *Rows) {
  *Columns = 80;
  *Rows = 25;
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI ScreenBegin() {
  ++gScreen.BeginCount;
  gScreen.Lines = 0;
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI ScreenSetCursor(UINTN, UINTN) {
  return EFI_SUCCESS;
}
// Reports the last row of an 80x25 screen: the confirmation screen starts four
// rows above the position it is given.
EFI_STATUS EFIAPI ScreenGetCursor(UINTN *Column, UINTN *Row) {
  *Column = 0;
  *Row = 24;
  return EFI_SUCCESS;
}

constinit TextScreenProtocol gTextScreen = {ScreenClear,        ScreenPrintLine, ScreenPrint,
                                            ScreenSetAttribute, ScreenGetSize,   ScreenBegin,
                                            ScreenSetCursor,    ScreenGetCursor};

UINTN EFIAPI GetDecision() {
  return gDecision;
}
constinit PpiConfirmOverrideProtocol gOverride = {GetDecision};

EFI_STATUS Install(const EFI_GUID &Guid, VOID *Interface) {
  EFI_HANDLE handle = nullptr;
  return gFw.Bs->InstallProtocolInterface(&handle, &Guid, EFI_NATIVE_INTERFACE, Interface);
}

} // namespace

EFI_STATUS InstallStandIns(UINT8 Decision) {
  EFI_STATUS status = Install(gStringPackageProtocolGuid, &gStringPackage);
  if (!EFI_ERROR(status))
    status = Install(gTextScreenProtocolGuid, &gTextScreen);
  if (!EFI_ERROR(status) && Decision != 0xFF) {
    gDecision = Decision;
    status = Install(gPpiConfirmOverrideProtocolGuid, &gOverride);
  }
  return status;
}

BOOLEAN DriverPackageLoaded() {
  return gDriverPackage != nullptr;
}

BOOLEAN ReadDriverString(UINT16 Token, CHAR16 *Buffer, UINTN Capacity) {
  Buffer[0] = 0;
  if (gDriverPackage == nullptr)
    return FALSE;
  UINTN length = Capacity;
  return !EFI_ERROR(ReadString(gDriverPackage, Token, &length, Buffer));
}

} // namespace FirmwareTest
