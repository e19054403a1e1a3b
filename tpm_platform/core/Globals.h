// Driver-wide globals of TpmPlatformDxe: set by the entry point, read by every
// subsystem of the driver.
#pragma once
#include "Platform/StringPackageProtocol.h"
#include "Uefi/UefiSpec.h"
#include "support/ServiceTables.h"
#include "tpm_platform/core/TpmTransport.h"

namespace TpmPlatform {

struct CoreState {
  SERVICE_TABLES Services;
  // The platform's TPM state record (interface + 1 byte), or NULL when the
  // platform publishes none. Offsets: Platform/TpmPlatformStateProtocol.h.
  const UINT8 *TpmPlatformState;
  // Permanent flags read at start-up; all zero when there is no TCG protocol.
  TpmPermanentFlagsRecord TpmFlagsCache;
  // 1 when the TPM reported an owner at start-up.
  UINT8 TpmOwnedFlag;
  // The driver's string package, loaded at start-up (0 when none).
  STRING_PACKAGE_HANDLE StringPackageHandle;
  // StringPackageProtocol, looked up on first use and kept once found.
  StringPackageProtocol *StringPackage;
};

// As the image is loaded.
inline constexpr CoreState kCoreInitialState = {kNoServiceTables, nullptr, {}, 0, nullptr, nullptr};
extern constinit CoreState gCore;

// The fields under the names the driver uses.
inline constexpr EFI_HANDLE &gImageHandle = gCore.Services.ImageHandle;
inline constexpr EFI_SYSTEM_TABLE *&gST = gCore.Services.SystemTable;
inline constexpr EFI_BOOT_SERVICES *&gBS = gCore.Services.BootServices;
inline constexpr EFI_RUNTIME_SERVICES *&gRT = gCore.Services.RuntimeServices;
inline constexpr const UINT8 *&gTpmPlatformState = gCore.TpmPlatformState;
inline constexpr TpmPermanentFlagsRecord &gTpmFlagsCache = gCore.TpmFlagsCache;
inline constexpr UINT8 &gTpmOwnedFlag = gCore.TpmOwnedFlag;
inline constexpr STRING_PACKAGE_HANDLE &gStringPackageHandle = gCore.StringPackageHandle;
inline constexpr StringPackageProtocol *&gStringPackage = gCore.StringPackage;

// gTpmPlatformState byte at Offset; 0 when there is no record.
inline UINT8 TpmPlatformStateByte(UINTN Offset) {
  return gTpmPlatformState ? gTpmPlatformState[Offset] : 0;
}

} // namespace TpmPlatform
