// The driver's only way to StringPackageProtocol: located on first use and
// kept; while it is absent every call looks again and reports EFI_UNSUPPORTED.
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StringPackage.h"

namespace TpmPlatform {

namespace {
StringPackageProtocol *StringPackage() {
  if (gStringPackage == nullptr) {
    VOID *Interface = nullptr;
    if (!EFI_ERROR(gBS->LocateProtocol(&gStringPackageProtocolGuid, nullptr, &Interface)))
      gStringPackage = static_cast<StringPackageProtocol *>(Interface);
  }
  return gStringPackage;
}
} // namespace

EFI_STATUS LoadStringPackage(EFI_HANDLE ImageHandle, STRING_PACKAGE_HANDLE *PackageHandle) {
  StringPackageProtocol *Protocol = StringPackage();
  if (Protocol == nullptr)
    return EFI_UNSUPPORTED;
  return Protocol->LoadStringPackage(ImageHandle, PackageHandle);
}

EFI_STATUS ReadPackageString(STRING_PACKAGE_HANDLE PackageHandle, UINT16 Token, UINTN *Length,
                             CHAR16 *Buffer) {
  StringPackageProtocol *Protocol = StringPackage();
  if (Protocol == nullptr)
    return EFI_UNSUPPORTED;
  return Protocol->ReadPackageString(PackageHandle, Token, Length, Buffer);
}

} // namespace TpmPlatform
