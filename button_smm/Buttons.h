// The programmable buttons: their table, the EC button events and the queue of
// key codes handed to the EC.
#pragma once
#include "Uefi/UefiBaseType.h"
#include "button_smm/Globals.h"
#include "button_smm/Ports.h"
#include "button_smm/Routines.h"

#include <stddef.h>

namespace ButtonSmm {

typedef VOID(EFIAPI *BUTTON_ACTION)(UINT32 Event);

// ButtonFlags
constexpr UINT8 kButtonEnabled = 0x01;      // the button produces events
constexpr UINT8 kButtonRepeat = 0x02;       // a held button produces repeated presses
constexpr UINT8 kButtonSendKeyCodes = 0x04; // in ACPI mode events become key codes
constexpr UINT8 kButtonActionMode = 0x08;   // events always go to the action routine

// Event codes. A release is ORed into every key-code byte (the set-1 break code).
constexpr UINT32 kEventPress = 0x00;
constexpr UINT32 kEventRelease = 0x80;
constexpr UINT32 kEventNone = 0xFFFFFFFF;

constexpr UINTN kButtonCount = 6;
constexpr UINTN kKeyCodeMax = 10;

struct ButtonRecord {
  BUTTON_ACTION Action;
  const CHAR16 *Name;
  UINT8 Flags;
  UINT32 EventMask;
  UINT16 EcReg1;
  UINT8 EcMask1;
  UINT16 EcReg2;
  UINT8 EcMask2;
  UINT16 EcReg3;
  UINT8 EcMask3;
  UINT8 KeyCount;
  UINT8 KeyCodes[kKeyCodeMax];
};
static_assert(sizeof(ButtonRecord) == 48, "ButtonRecord size");
static_assert(offsetof(ButtonRecord, Action) == 0 && offsetof(ButtonRecord, Name) == 8 &&
                  offsetof(ButtonRecord, Flags) == 16 && offsetof(ButtonRecord, EventMask) == 20 &&
                  offsetof(ButtonRecord, EcReg1) == 24 && offsetof(ButtonRecord, EcMask1) == 26 &&
                  offsetof(ButtonRecord, EcReg2) == 28 && offsetof(ButtonRecord, EcMask2) == 30 &&
                  offsetof(ButtonRecord, EcReg3) == 32 && offsetof(ButtonRecord, EcMask3) == 34 &&
                  offsetof(ButtonRecord, KeyCount) == 35 && offsetof(ButtonRecord, KeyCodes) == 36,
              "ButtonRecord field offsets");

// EC RAM used by the button side (the event register and the repeat timing:
// Ports.h).
constexpr UINT16 kEcButtonState = 0x6C9;
constexpr UINT16 kEcKeySlotFirst = 0x690;
constexpr UINT8 kEcKeySlotCount = 15;
constexpr UINT16 kEcKeySlotStatus = 0x6D5;

constexpr UINT8 kDefaultRepeatDelay = 2;
constexpr UINT8 kDefaultRepeatRate = 1;

// The default table is never written; the live table starts as its copy and
// is the one events and commands use.
extern const ButtonRecord DefaultButtons[kButtonCount];
extern ButtonRecord gLiveButtons[kButtonCount];

// State carried from one GPI 6 event to the next.
struct ButtonEventState {
  UINT8 Current;     // EC state byte read at this event
  UINT8 Previous;    // state byte of the last processed event
  UINT8 LastPressed; // EventMask byte of the most recently pressed button
};
extern ButtonEventState gEventState;

// Ring of key codes waiting for free EC slots. Equal indices mean empty, so
// it holds at most 31 codes.
constexpr UINT8 kKeyCodeQueueSize = 32;
struct KeyCodeQueueState {
  UINT8 Codes[kKeyCodeQueueSize];
  UINT8 Write;
  UINT8 Read;
};
static_assert(sizeof(KeyCodeQueueState) == 34 && offsetof(KeyCodeQueueState, Write) == 32 &&
                  offsetof(KeyCodeQueueState, Read) == 33,
              "gKeyCodeQueue layout");
extern KeyCodeQueueState gKeyCodeQueue;

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
VOID EFIAPI NoAction(UINT32 Event);

} // namespace ButtonSmm
