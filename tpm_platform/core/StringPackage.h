// The driver's access to StringPackageProtocol: one accessor that looks the
// protocol up on first use and keeps it; while it is absent every call looks
// it up again and reports EFI_UNSUPPORTED.
#pragma once
#include "Platform/StringPackageProtocol.h"

namespace TpmPlatform {

EFI_STATUS LoadStringPackage(EFI_HANDLE ImageHandle, STRING_PACKAGE_HANDLE *PackageHandle);
EFI_STATUS ReadPackageString(STRING_PACKAGE_HANDLE PackageHandle, UINT16 Token, UINTN *Length,
                             CHAR16 *Buffer);

} // namespace TpmPlatform
