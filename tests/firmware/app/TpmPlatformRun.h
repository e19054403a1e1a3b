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

// WakeInfoHob's name, until the measurement headers publish it.
inline constexpr EFI_GUID gWakeInfoHobGuidForTest = {
    0xBBB810BB, 0x5EF0, 0x4E8F, {0xB2, 0x98, 0xAD, 0x74, 0xAA, 0x50, 0xEF, 0x0A}};

} // namespace FirmwareTest
