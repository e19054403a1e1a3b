// PlatformHooksProtocol: the table of entry points through which the
// platform's TCG core calls the TPM platform driver. Installed once on the
// driver's image handle; the slot order is fixed.
#pragma once
#include "Uefi/UefiBaseType.h"

typedef EFI_STATUS(EFIAPI *PLATFORM_HOOK)();
typedef EFI_STATUS(EFIAPI *PLATFORM_OPTIONS_HOOK)(UINT8 *Options);

struct PlatformHooksProtocol {
  PLATFORM_HOOK MicrocodeHook;              // slot 0
  PLATFORM_HOOK OptionRomHook;              // slot 1
  PLATFORM_HOOK SyncTpmEnableHook;          // slot 2
  PLATFORM_HOOK ProcessPpiRequestHook;      // slot 3
  PLATFORM_HOOK ReadyToBootHook;            // slot 4
  PLATFORM_OPTIONS_HOOK GetPlatformOptions; // slot 5: fills 4 bytes
  PLATFORM_HOOK ZeroPpiVariableHook;        // slot 6
};
static_assert(sizeof(PlatformHooksProtocol) == 7 * 8, "seven entry points");
static_assert(__builtin_offsetof(PlatformHooksProtocol, GetPlatformOptions) == 5 * 8, "slot 5");

constexpr UINTN kPlatformHookCount = 7;
constexpr UINTN kPlatformOptionsSize = 4;

inline constexpr EFI_GUID gPlatformHooksProtocolGuid = {
    0x8C939604, 0x0700, 0x4415, {0x9D, 0x62, 0x11, 0x61, 0xDB, 0x81, 0x64, 0xA6}};
