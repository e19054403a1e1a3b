// Loads and starts a driver image that lies beside the application on its volume.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

// Loads (without starting) an image that lies on the application's volume.
// FileName like u"\\linux\\vmlinuz"; the new image handle in *Handle.
EFI_STATUS LoadSiblingImage(const CHAR16 *FileName, EFI_HANDLE *Handle);

// FileName like u"\\TpmPlatformDxe.efi". Returns the LoadImage status on failure,
// else the image's entry status; the new image handle in *Handle.
EFI_STATUS LoadSiblingDriver(const CHAR16 *FileName, EFI_HANDLE *Handle, EFI_STATUS *LoadStatus);

} // namespace FirmwareTest
