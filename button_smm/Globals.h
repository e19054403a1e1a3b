// Module state of ButtonSmm. Each image instance (boot-service and SMRAM) has
// its own copy; everything starts as on a freshly loaded image.
#pragma once
#include "Framework/BootScriptSave.h"
#include "Framework/SmmBase.h"
#include "Uefi/UefiSpec.h"
#include "button_smm/ButtonRecord.h"
#include "support/ServiceTables.h"

struct PASSWORD_SERVICE_PROTOCOL;

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

constexpr ButtonPlatformConfig kUnreadPlatformConfig = {
    0xFF, kDefaultRepeatDelay, kDefaultRepeatRate, {}};

struct ButtonSmmState {
  // Inside SMM RuntimeServices may be replaced by the table the SMM core
  // publishes.
  SERVICE_TABLES Services;
  EFI_SMM_BASE_PROTOCOL *SmmBase;
  EFI_SMM_SYSTEM_TABLE *Smst;
  // Boot-script interfaces: looked up at entry (EC and Super-I/O records), by
  // the GPI 1 set-up (port and PCI records), and the reference that decides the
  // call form (cached once found).
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *EntryBootScript;
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *SetupBootScript;
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *ReferenceBootScript;
  // The command buffer shared with the operating system: null until start-up
  // found it. A size of 0 means the default size.
  VOID *CommandBufferAddress;
  UINTN CommandBufferSize;
  // Panel index 0xFF (none) and the default repeat timing until the platform
  // data item is read.
  ButtonPlatformConfig PlatformConfig;
  // The live button table: events and commands use it, a restore copies a
  // default row back.
  ButtonRecord LiveButtons[kButtonCount];
  ButtonEventState EventState;
  KeyCodeQueueState KeyCodeQueue;
  // The driver's brightness percent, 0 to 100.
  UINT8 CurrentBrightness;
  // Looked up on first use and kept once found.
  PASSWORD_SERVICE_PROTOCOL *PasswordService;
};

// As the image is loaded.
static_assert(kButtonCount == 6, "one LiveButtons initialiser a default row");
inline constexpr ButtonSmmState kButtonSmmInitialState = {
    .Services = kNoServiceTables,
    .SmmBase = nullptr,
    .Smst = nullptr,
    .EntryBootScript = nullptr,
    .SetupBootScript = nullptr,
    .ReferenceBootScript = nullptr,
    .CommandBufferAddress = nullptr,
    .CommandBufferSize = 0,
    .PlatformConfig = kUnreadPlatformConfig,
    .LiveButtons = {DefaultButtons[0], DefaultButtons[1], DefaultButtons[2], DefaultButtons[3],
                    DefaultButtons[4], DefaultButtons[5]},
    .EventState = {},
    .KeyCodeQueue = {},
    .CurrentBrightness = 0,
    .PasswordService = nullptr,
};
extern constinit ButtonSmmState gButtonSmm;

// The fields under the names the driver uses.
inline constexpr EFI_HANDLE &gImageHandle = gButtonSmm.Services.ImageHandle;
inline constexpr EFI_SYSTEM_TABLE *&gST = gButtonSmm.Services.SystemTable;
inline constexpr EFI_BOOT_SERVICES *&gBS = gButtonSmm.Services.BootServices;
inline constexpr EFI_RUNTIME_SERVICES *&gRT = gButtonSmm.Services.RuntimeServices;
inline constexpr EFI_SMM_BASE_PROTOCOL *&gSmmBase = gButtonSmm.SmmBase;
inline constexpr EFI_SMM_SYSTEM_TABLE *&gSmst = gButtonSmm.Smst;
inline constexpr EFI_BOOT_SCRIPT_SAVE_PROTOCOL *&gEntryBootScript = gButtonSmm.EntryBootScript;
inline constexpr EFI_BOOT_SCRIPT_SAVE_PROTOCOL *&gSetupBootScript = gButtonSmm.SetupBootScript;
inline constexpr EFI_BOOT_SCRIPT_SAVE_PROTOCOL *&gReferenceBootScript =
    gButtonSmm.ReferenceBootScript;
inline constexpr VOID *&gSmmCommandBufferAddress = gButtonSmm.CommandBufferAddress;
inline constexpr UINTN &gSmmCommandBufferSize = gButtonSmm.CommandBufferSize;
inline constexpr ButtonPlatformConfig &gButtonPlatformConfig = gButtonSmm.PlatformConfig;
inline constexpr ButtonRecord (&gLiveButtons)[kButtonCount] = gButtonSmm.LiveButtons;
inline constexpr ButtonEventState &gEventState = gButtonSmm.EventState;
inline constexpr KeyCodeQueueState &gKeyCodeQueue = gButtonSmm.KeyCodeQueue;
inline constexpr UINT8 &gCurrentBrightness = gButtonSmm.CurrentBrightness;
inline constexpr PASSWORD_SERVICE_PROTOCOL *&gPasswordService = gButtonSmm.PasswordService;

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
  return gRT;
}

// Looks a protocol up in the SMM protocol database; null when absent or when the
// SMM system table is not known.
VOID *SmmProtocolLookup(const EFI_GUID *Protocol);

} // namespace ButtonSmm
