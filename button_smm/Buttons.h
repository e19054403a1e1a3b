// The programmable buttons: their table, the EC button events and the queue of
// key codes handed to the EC.
#pragma once
#include "Uefi/UefiBaseType.h"
#include "button_smm/Globals.h"
#include "button_smm/Ports.h"
#include "button_smm/Routines.h"

namespace ButtonSmm {

// EC RAM used by the button side (the event register and the repeat timing:
// Ports.h).
constexpr UINT16 kEcButtonState = 0x6C9;
constexpr UINT16 kEcKeySlotFirst = 0x690;
constexpr UINT8 kEcKeySlotCount = 15;
constexpr UINT16 kEcKeySlotStatus = 0x6D5;

INTN FindButton(const CHAR16 *Name);
EFI_STATUS SetKeyCodes(UINTN Index, const UINT8 *Bytes, INTN Count);
EFI_STATUS SetRepeat(UINTN Index, UINTN On);
EFI_STATUS SetActionMode(UINTN Index, UINTN On);
EFI_STATUS SetEnabled(UINTN Index, UINTN On);
// Shared repeat timing of all buttons; also programs the EC.
VOID SetRepeatTiming(UINT8 Delay, UINT8 Rate);

UINT32 ButtonEventCode(const ButtonRecord *Record, UINT8 Mask);
// Number of key-code bytes a press sends: the stored count, ended early by a
// zero byte.
UINTN KeyCodeLength(const ButtonRecord *Record);
VOID EnqueueKeyCodes(const ButtonRecord *Record, UINT8 OrMask);
VOID FlushKeyQueue();

} // namespace ButtonSmm
