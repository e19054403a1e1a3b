// The key codes waiting to be handed to the EC, and the hand-over through the
// EC's key-code slots.
#include "button_smm/Buttons.h"
#include "button_smm/CommandBuffer.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

UINTN KeyCodeLength(const ButtonRecord *Record) {
  // The stored count bounds the sequence, so bytes left behind by a longer
  // sequence that a shorter one replaced are never sent. A zero byte still
  // ends it early.
  UINTN Limit = Record->KeyCount < kKeyCodeMax ? Record->KeyCount : kKeyCodeMax;
  UINTN Length = 0;
  while (Length < Limit && Record->KeyCodes[Length] != 0)
    ++Length;
  return Length;
}

VOID EnqueueKeyCodes(const ButtonRecord *Record, UINT8 OrMask) {
  UINTN Length = KeyCodeLength(Record);
  for (UINTN i = 0; i < Length; ++i) {
    UINT8 Next = UINT8((gKeyCodeQueue.Write + 1) % kKeyCodeQueueSize);
    if (Next == gKeyCodeQueue.Read)
      return; // full: the rest of this sequence is dropped
    gKeyCodeQueue.Codes[gKeyCodeQueue.Write] = UINT8(Record->KeyCodes[i] | OrMask);
    gKeyCodeQueue.Write = Next;
  }
}

VOID FlushKeyQueue() {
  UINT8 SlotStatus = EcRead(kEcKeySlotStatus);
  // While bit 0 is set the EC has not taken the previous codes yet.
  UINT8 Slot = (SlotStatus & 0x01) != 0 ? UINT8(SlotStatus >> 4) : 0;
  // Without a command buffer the OS cannot have asked for key codes.
  BOOLEAN HandOver = CommandBufferStatusHas(kCbStatusKeyCodesToEc);
  while (gKeyCodeQueue.Read != gKeyCodeQueue.Write && Slot < kEcKeySlotCount) {
    if (HandOver)
      EcWrite(UINT16(kEcKeySlotFirst + Slot), gKeyCodeQueue.Codes[gKeyCodeQueue.Read]);
    gKeyCodeQueue.Read = UINT8((gKeyCodeQueue.Read + 1) % kKeyCodeQueueSize);
    ++Slot;
  }
  if (Slot != 0 && HandOver)
    EcWrite(kEcKeySlotStatus, UINT8((Slot << 4) | 0x01));
}

} // namespace ButtonSmm
