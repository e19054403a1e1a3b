// Routines of the button table, the command interface and brightness that
// start-up registers or calls.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace ButtonSmm {

// GPI 6: EC button events.
VOID EFIAPI ButtonEventHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext);
// Software SMI 0xE0: brightness get and set.
VOID EFIAPI BrightnessSmiHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext);
// Software SMI 0xE3: the button-table commands.
VOID EFIAPI CommandDispatcher(EFI_HANDLE DispatchHandle, VOID *DispatchContext);

// Sets (On) or clears the button's bits in its three EC registers, recorded.
VOID ApplyButtonEcBits(UINTN Index, BOOLEAN On);
// Copies the default record over the live one and resets the repeat timing.
EFI_STATUS RestoreDefaults(UINTN Index);

// Button actions the default table names (Event: kEventPress or kEventRelease).
VOID EFIAPI NoAction(UINT32 Event);
VOID EFIAPI BrightnessUpAction(UINT32 Event);
VOID EFIAPI BrightnessDownAction(UINT32 Event);

UINT8 GetBrightnessPercent();
VOID SetBrightnessPercent(UINT8 Percent);

} // namespace ButtonSmm
