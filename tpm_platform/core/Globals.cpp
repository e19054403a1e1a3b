#include "tpm_platform/core/Globals.h"

namespace TpmPlatform {

constinit EFI_HANDLE gImageHandle = nullptr;
constinit EFI_SYSTEM_TABLE *gST = nullptr;
constinit EFI_BOOT_SERVICES *gBS = nullptr;
constinit EFI_RUNTIME_SERVICES *gRT = nullptr;

constinit const UINT8 *TpmPlatformState = nullptr;
constinit TpmPermanentFlagsRecord TpmFlagsCache = {};
constinit UINT8 TpmOwnedFlag = 0;

constinit STRING_PACKAGE_HANDLE gStringPackageHandle = nullptr;
constinit StringPackageProtocol *gStringPackage = nullptr;

} // namespace TpmPlatform
