// Driver-wide globals of TpmPlatformDxe: set by the entry point, read by every
// subsystem of the driver.
#pragma once
#include "Platform/StringPackageProtocol.h"
#include "Uefi/UefiSpec.h"
#include "tpm_platform/core/TpmTransport.h"

namespace TpmPlatform {

extern constinit EFI_HANDLE gImageHandle;
extern constinit EFI_SYSTEM_TABLE *gST;
extern constinit EFI_BOOT_SERVICES *gBS;
extern constinit EFI_RUNTIME_SERVICES *gRT;

// The platform's TPM state record (interface + 1 byte), or NULL when the
// platform publishes none. Offsets: Platform/TpmPlatformStateProtocol.h.
extern constinit const UINT8 *TpmPlatformState;

// Permanent flags read at start-up; all zero when there is no TCG protocol.
extern constinit TpmPermanentFlagsRecord TpmFlagsCache;
// 1 when the TPM reported an owner at start-up.
extern constinit UINT8 TpmOwnedFlag;

// The driver's string package, loaded at start-up (0 when none).
extern constinit STRING_PACKAGE_HANDLE gStringPackageHandle;
// StringPackageProtocol, looked up on first use and kept once found.
extern constinit StringPackageProtocol *gStringPackage;

// TpmPlatformState byte at Offset; 0 when there is no record.
inline UINT8 TpmPlatformStateByte(UINTN Offset) {
  return TpmPlatformState ? TpmPlatformState[Offset] : 0;
}

} // namespace TpmPlatform
