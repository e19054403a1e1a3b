// Module state of ButtonSmm. Each image instance (boot-service and SMRAM) has
// its own copy; everything starts as on a freshly loaded image.
#pragma once
#include "Framework/BootScriptSave.h"
#include "Framework/SmmBase.h"
#include "Uefi/UefiSpec.h"

namespace ButtonSmm {

// Byte 0 names the panel; bytes 1 and 2 are the key repeat timing that the EC
// receives in register 0x6E4. The other bytes are not interpreted.
struct ButtonPlatformConfig {
  UINT8 PanelIndex;
  UINT8 RepeatDelay; // 0 to 3
  UINT8 RepeatRate;  // 0 to 15
  UINT8 Reserved[25];
};
static_assert(sizeof(ButtonPlatformConfig) == 28, "platform config block");
static_assert(__builtin_offsetof(ButtonPlatformConfig, RepeatDelay) == 1, "repeat delay byte");
static_assert(__builtin_offsetof(ButtonPlatformConfig, RepeatRate) == 2, "repeat rate byte");

constexpr ButtonPlatformConfig kUnreadPlatformConfig = {0xFF, 2, 1, {}};

extern EFI_HANDLE gImageHandle;
extern EFI_SYSTEM_TABLE *gSystemTable;
extern EFI_BOOT_SERVICES *gBootServices;
// Inside SMM this may be replaced by the table the SMM core publishes.
extern EFI_RUNTIME_SERVICES *gRuntimeServices;

extern EFI_SMM_BASE_PROTOCOL *gSmmBase;
extern EFI_SMM_SYSTEM_TABLE *gSmst;

// Boot-script interfaces: looked up at entry (EC and Super-I/O records), by the
// GPI 1 set-up (port and PCI records), and the reference that decides the call
// form (cached once found).
extern EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gEntryBootScript;
extern EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gSetupBootScript;
extern EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gReferenceBootScript;

// The command buffer shared with the operating system: null until start-up
// found it. A size of 0 means the default size.
extern VOID *SmmCommandBufferAddress;
extern UINTN SmmCommandBufferSize;

extern ButtonPlatformConfig gButtonPlatformConfig;

inline UINT8 PanelIndex() {
  return gButtonPlatformConfig.PanelIndex;
}
inline UINT8 RepeatDelay() {
  return gButtonPlatformConfig.RepeatDelay;
}
inline UINT8 RepeatRate() {
  return gButtonPlatformConfig.RepeatRate;
}
inline VOID SetRepeatDelay(UINT8 Delay) {
  gButtonPlatformConfig.RepeatDelay = Delay;
}
inline VOID SetRepeatRate(UINT8 Rate) {
  gButtonPlatformConfig.RepeatRate = Rate;
}

// The runtime services in force for this instance (the SMM table inside SMM when
// the SMM core publishes one).
inline EFI_RUNTIME_SERVICES *SmmRuntimeServices() {
  return gRuntimeServices;
}

// Looks a protocol up in the SMM protocol database; null when absent or when the
// SMM system table is not known.
VOID *SmmProtocolLookup(const EFI_GUID *Protocol);

} // namespace ButtonSmm
