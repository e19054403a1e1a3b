// Module state of the compatibility layer's DXE part.
#pragma once
#include "Pi/PiSmmCis.h"
#include "Protocol/SmmCommunication.h"
#include "smm_compat/core/CompatRecord.h"

namespace SmmCompat {

struct DxeState {
  EFI_BOOT_SERVICES *Bs;
  EFI_SMM_BASE2_PROTOCOL *SmmBase2;
  EFI_SMM_COMMUNICATION_PROTOCOL *Communication;
  CompatRecord *Record;
  BOOLEAN Locked; // set at the DXE SMM ready-to-lock: Register refuses from then on
};
constexpr DxeState kInitialDxeState = {};
extern DxeState gDxe;

// Installs the Framework SMM base protocol.
EFI_STATUS InstallSmmBase(EFI_HANDLE *Handle);
// Installs the platform-data and command-buffer protocols the platform's SMM
// drivers look up.
EFI_STATUS InstallPlatformProtocols(EFI_HANDLE *Handle);

} // namespace SmmCompat
