// What the TPM platform stories hand on to each other.
#pragma once
#include "Platform/PlatformHooksProtocol.h"
#include "Platform/SetupData.h"
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

struct TpmPlatformRun {
  EFI_HANDLE Driver;
  PlatformHooksProtocol *Hooks;
  UINT8 SetupBefore[kSetupDataSize];
  UINT8 SetupAfter[kSetupDataSize];
};
extern constinit TpmPlatformRun gTpmRun;

} // namespace FirmwareTest
