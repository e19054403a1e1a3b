// Platform components the TPM platform driver expects around it, played by the
// application over the firmware's own services: the string package served
// from OVMF's HII database, a text screen over the console that also keeps
// what it printed, and the confirmation override.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

constexpr UINTN kScreenLines = 32;
constexpr UINTN kScreenWidth = 256;

struct ScreenCapture {
  UINT32 BeginCount;
  UINTN Lines;
  CHAR16 Text[kScreenLines][kScreenWidth];
};
extern constinit ScreenCapture gScreen;

// Installs StringPackageProtocol, TextScreenProtocol and, when Decision is
// not 0xFF, PpiConfirmOverrideProtocol answering Decision.
EFI_STATUS InstallStandIns(UINT8 Decision);
// Reads a string of the driver's package from the HII database: what the
// screen should show for that token.
BOOLEAN ReadDriverString(UINT16 Token, CHAR16 *Buffer, UINTN Capacity);
// TRUE once LoadStringPackage found the image's package and the HII database took it.
BOOLEAN DriverPackageLoaded();

} // namespace FirmwareTest
