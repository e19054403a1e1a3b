// Bounded, bytewise access to the OS's command buffer.
#include "button_smm/CommandBuffer.h"
#include "button_smm/Globals.h"

namespace ButtonSmm {

namespace {

UINT8 *Base() {
  return static_cast<UINT8 *>(gSmmCommandBufferAddress);
}

BOOLEAN Fits(UINTN Offset, UINTN Length) {
  UINTN Size = CommandBufferSize();
  return Offset <= Size && Length <= Size - Offset;
}

} // namespace

BOOLEAN CommandBufferPresent() {
  return Base() != nullptr;
}

UINTN CommandBufferSize() {
  if (Base() == nullptr)
    return 0;
  return gSmmCommandBufferSize > kCbDefaultSize ? gSmmCommandBufferSize : kCbDefaultSize;
}

UINT32 CommandBufferRead32(UINTN Offset) {
  if (!Fits(Offset, 4))
    return 0;
  const UINT8 *p = Base() + Offset;
  return UINT32(p[0]) | UINT32(p[1]) << 8 | UINT32(p[2]) << 16 | UINT32(p[3]) << 24;
}

VOID CommandBufferWrite32(UINTN Offset, UINT32 Value) {
  if (!Fits(Offset, 4))
    return;
  UINT8 *p = Base() + Offset;
  p[0] = UINT8(Value);
  p[1] = UINT8(Value >> 8);
  p[2] = UINT8(Value >> 16);
  p[3] = UINT8(Value >> 24);
}

BOOLEAN CommandBufferStatusHas(UINT32 Bits) {
  return CommandBufferPresent() && (CommandBufferRead32(kCbStatus) & Bits) != 0;
}

VOID CommandBufferSetStatus(UINT32 Bits) {
  if (CommandBufferPresent())
    CommandBufferWrite32(kCbStatus, CommandBufferRead32(kCbStatus) | Bits);
}

VOID CommandBufferClearStatus(UINT32 Bits) {
  if (CommandBufferPresent())
    CommandBufferWrite32(kCbStatus, CommandBufferRead32(kCbStatus) & ~Bits);
}

BOOLEAN CommandBufferString(UINTN *Offset, WideSpan *Text) {
  UINTN Start = *Offset;
  for (UINTN At = Start; Fits(At, 2); At += 2) {
    const UINT8 *p = Base() + At;
    if (p[0] == 0 && p[1] == 0) {
      Text->Units = Base() + Start;
      Text->Length = (At - Start) / 2;
      *Offset = At + 2;
      return TRUE;
    }
  }
  return FALSE;
}

BOOLEAN CommandBufferPutUnit(UINTN *Offset, CHAR16 Unit) {
  if (!Fits(*Offset, 2))
    return FALSE;
  UINT8 *p = Base() + *Offset;
  p[0] = UINT8(Unit);
  p[1] = UINT8(Unit >> 8);
  *Offset += 2;
  return TRUE;
}

VOID CommandBufferWipeString(UINTN Offset) {
  for (UINTN At = Offset; Fits(At, 2); At += 2) {
    UINT8 *p = Base() + At;
    if (p[0] == 0 && p[1] == 0)
      return;
    p[0] = 0;
    p[1] = 0;
  }
}

} // namespace ButtonSmm
