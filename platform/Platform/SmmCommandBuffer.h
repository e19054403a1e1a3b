// The command buffer the operating system shares with the hot-key SMM driver:
// where the OS puts a request, how it raises the software SMI, and what the
// reply looks like. The buffer's address comes from CommandBufferProtocol.
//
// The OS fills the header (and the UTF-16 strings after it), writes the SMI
// value to the APM control port, and reads the reply from the same buffer.
#pragma once
#include "Uefi/UefiBaseType.h"

// Software SMIs the OS raises by writing the value to the APM control port.
constexpr UINT16 kCbApmControlPort = 0xB2;
constexpr UINT8 kCbSmiBrightness = 0xE0; // brightness get (Argument 0) and set
constexpr UINT8 kCbSmiCommand = 0xE3;    // button-table commands (Value: command)

// Unless the platform reports a larger buffer, it is one page.
constexpr UINTN kCbDefaultSize = 4096;

// The fixed part of the buffer; UTF-16LE strings follow it, each ended by a NUL.
struct SmmCommandBufferHeader {
  UINT32 Status;          // status word, kCbStatus* bits
  UINT32 Value;           // SMI 0xE3: command in, result out; SMI 0xE0: brightness percent
  UINT32 Argument;        // SMI 0xE0: 0 = get; commands 1, 2, 4: low byte is the flag
  UINT32 Settings;        // command 1 in: repeat rate; command 0 out: current settings word
  UINT32 DefaultSettings; // command 1 in: repeat delay; command 0 out: default settings word
  UINT8 Reserved[8];
};
static_assert(sizeof(SmmCommandBufferHeader) == 28, "command buffer header size");

constexpr UINTN kCbStatus = __builtin_offsetof(SmmCommandBufferHeader, Status);
constexpr UINTN kCbValue = __builtin_offsetof(SmmCommandBufferHeader, Value);
constexpr UINTN kCbArgument = __builtin_offsetof(SmmCommandBufferHeader, Argument);
constexpr UINTN kCbSettings = __builtin_offsetof(SmmCommandBufferHeader, Settings);
constexpr UINTN kCbDefaultSettings = __builtin_offsetof(SmmCommandBufferHeader, DefaultSettings);
constexpr UINTN kCbStrings = sizeof(SmmCommandBufferHeader);
static_assert(kCbStatus == 0 && kCbValue == 4 && kCbArgument == 8 && kCbSettings == 12 &&
                  kCbDefaultSettings == 16 && kCbStrings == 28,
              "command buffer field offsets");

// Status word bits. The driver sets and clears only these; the OS keeps its
// own bits in the rest of the word.
constexpr UINT32 kCbStatusCommandSucceeded = 0x10;
constexpr UINT32 kCbStatusHandled = 0x80;
constexpr UINT32 kCbStatusStarted = 0x100;
constexpr UINT32 kCbStatusBrightnessUp = 0x200;
constexpr UINT32 kCbStatusBrightnessDown = 0x400;
constexpr UINT32 kCbStatusKeyCodesToEc = 0x1000;

// Commands of SMI 0xE3, in Value.
constexpr UINT32 kCbCommandGetButtonInfo = 0;
constexpr UINT32 kCbCommandSetButton = 1;
constexpr UINT32 kCbCommandEnableButton = 2;
constexpr UINT32 kCbCommandRestoreButton = 3;
constexpr UINT32 kCbCommandSetActionMode = 4;
constexpr UINT32 kCbCommandCount = 5;

// Result codes of SMI 0xE3, in Value.
constexpr UINT32 kCbResultSuccess = 0;
constexpr UINT32 kCbResultNoSuchButton = 1;
constexpr UINT32 kCbResultMalformed = 5;
constexpr UINT32 kCbResultPasswordRefused = 6;

// The settings words of command 0: repeat delay in bits 0-7, repeat rate in
// bits 8-15, and two flags.
constexpr UINT32 kCbSettingsRateShift = 8;
constexpr UINT32 kCbSettingsRepeat = 0x10000;
constexpr UINT32 kCbSettingsEnabled = 0x1000000; // current settings only
