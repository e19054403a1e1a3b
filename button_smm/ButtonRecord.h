// The records of the programmable buttons and of their event and key-code state,
// and the table every instance starts from.
#pragma once
#include "Uefi/UefiBaseType.h"
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

// State carried from one GPI 6 event to the next.
struct ButtonEventState {
  UINT8 Current;     // EC state byte read at this event
  UINT8 Previous;    // state byte of the last processed event
  UINT8 LastPressed; // EventMask byte of the most recently pressed button
};

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

constexpr UINT8 kDefaultRepeatDelay = 2;
constexpr UINT8 kDefaultRepeatRate = 1;

// The buttons' variable names. Named arrays, not literals in the rows: an
// inline array is one object in the whole program, so every copy of a row
// points at the same name (copies of a literal need not be merged).
inline constexpr CHAR16 kVolumeUpName[] = u"VolumeUpButton";
inline constexpr CHAR16 kVolumeDownName[] = u"VolumeDownButton";
inline constexpr CHAR16 kBrightnessUpName[] = u"BrightnessUpButton";
inline constexpr CHAR16 kBrightnessDownName[] = u"BrightnessDownButton";
inline constexpr CHAR16 kVolumeMuteName[] = u"VolumeMuteButton";
inline constexpr CHAR16 kMicrophoneMuteName[] = u"MicrophoneMuteButton";

// Never written: the live table starts as its copy, and a restore copies a row
// back.
inline constexpr ButtonRecord DefaultButtons[kButtonCount] = {
    {NoAction, kVolumeUpName, 0x07, 0x01, 0x6F5, 0x01, 0x6E5, 0x00, 0x6C5, 0x01, 2, {0xE0, 0x30}},
    {NoAction, kVolumeDownName, 0x07, 0x02, 0x6F4, 0x20, 0x6E5, 0x00, 0x6C5, 0x02, 2, {0xE0, 0x2E}},
    {BrightnessUpAction,
     kBrightnessUpName,
     0x0F,
     0x04,
     0x6F5,
     0x04,
     0x6E5,
     0x00,
     0x6C5,
     0x04,
     2,
     {0xE0, 0x17}},
    {BrightnessDownAction,
     kBrightnessDownName,
     0x0F,
     0x10,
     0x6F3,
     0x02,
     0x6E5,
     0x00,
     0x6C5,
     0x10,
     2,
     {0xE0, 0x12}},
    {NoAction, kVolumeMuteName, 0x05, 0x20, 0x6F3, 0x04, 0x6E5, 0x00, 0x6C5, 0x20, 2, {0xE0, 0x20}},
    {NoAction, kMicrophoneMuteName, 0x01, 0x00, 0x6F5, 0x00, 0x6E5, 0x00, 0x6C5, 0x00, 0, {}},
};

} // namespace ButtonSmm
