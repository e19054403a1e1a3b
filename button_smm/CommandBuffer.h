// The only routines that touch the command buffer shared with the operating
// system (layout: Platform/SmmCommandBuffer.h).
//
// The buffer is the OS's memory: the driver never trusts what it holds. Every
// access is checked against the buffer's size (one 4 KiB page unless the
// command-buffer protocol reports more) and made bytewise, whatever the
// address's alignment.
#pragma once
#include "Platform/SmmCommandBuffer.h"
#include "Uefi/UefiBaseType.h"

namespace ButtonSmm {

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
