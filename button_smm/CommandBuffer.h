// The command buffer shared with the operating system: its layout, status
// bits and result codes, and the only routines that touch it.
//
// The buffer is the OS's memory: the driver never trusts what it holds. Every
// access is checked against the buffer's size (one 4 KiB page unless the
// command-buffer protocol reports more) and made bytewise, whatever the
// address's alignment.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace ButtonSmm {

// Unless the platform reports a larger buffer, it is one page.
constexpr UINTN kCommandBufferSize = 4096;

// The fixed part of the buffer; UTF-16 strings follow it, each ended by a NUL.
struct SmmCommandBufferHeader {
  UINT32 Status;          // status word, kStatus* bits
  UINT32 Value;           // SMI 0xE3: command in, result out; SMI 0xE0: brightness percent
  UINT32 Argument;        // SMI 0xE0: 0 = get; commands 1, 2, 4: low byte is the flag
  UINT32 Settings;        // command 1 in: RepeatRate; command 0 out: current settings word
  UINT32 DefaultSettings; // command 1 in: RepeatDelay; command 0 out: default settings word
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

// Status word bits.
constexpr UINT32 kStatusCommandSucceeded = 0x10;
constexpr UINT32 kStatusHandled = 0x80;
constexpr UINT32 kStatusStarted = 0x100;
constexpr UINT32 kStatusBrightnessUp = 0x200;
constexpr UINT32 kStatusBrightnessDown = 0x400;
constexpr UINT32 kStatusKeyCodesToEc = 0x1000;

// Result codes.
constexpr UINT32 kResultSuccess = 0;
constexpr UINT32 kResultNoSuchButton = 1;
constexpr UINT32 kResultMalformed = 5;
constexpr UINT32 kResultPasswordRefused = 6;

// A UTF-16LE string inside the buffer: Length units, followed by a NUL unit
// that also lies inside the buffer.
struct WideSpan {
  const UINT8 *Units;
  UINTN Length;
};

// The unit at Index; the terminating NUL (and anything past it) reads as 0.
inline CHAR16 WideSpanAt(WideSpan Text, UINTN Index) {
  if (Index >= Text.Length)
    return 0;
  return CHAR16(Text.Units[2 * Index] | (Text.Units[2 * Index + 1] << 8));
}

BOOLEAN CommandBufferPresent();
UINTN CommandBufferSize();
UINT32 CommandBufferRead32(UINTN Offset);
VOID CommandBufferWrite32(UINTN Offset, UINT32 Value);
BOOLEAN CommandBufferStatusHas(UINT32 Bits);
VOID CommandBufferSetStatus(UINT32 Bits);
VOID CommandBufferClearStatus(UINT32 Bits);

// The string that starts at *Offset. Returns FALSE when no NUL unit ends it
// inside the buffer; otherwise advances *Offset past the NUL.
BOOLEAN CommandBufferString(UINTN *Offset, WideSpan *Text);
// Writes one unit at *Offset and advances it; FALSE when it does not fit.
BOOLEAN CommandBufferPutUnit(UINTN *Offset, CHAR16 Unit);
// Overwrites every non-NUL unit from Offset with NUL up to the first NUL unit,
// which stays, or up to the end of the buffer.
VOID CommandBufferWipeString(UINTN Offset);

} // namespace ButtonSmm
