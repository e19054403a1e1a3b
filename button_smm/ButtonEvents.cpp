// GPI 6: turns changes of the EC button state byte into press, repeat and
// release events, and those into key codes or action calls.
#include "button_smm/Buttons.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

UINT32 ButtonEventCode(const ButtonRecord *Record, UINT8 Mask) {
  if ((Record->Flags & kButtonEnabled) == 0)
    return kEventNone;
  if ((Mask & gEventState.Current) == 0)
    return (Mask & gEventState.Previous) != 0 ? kEventRelease : kEventNone;
  if ((Mask & gEventState.Previous) == 0) {
    gEventState.LastPressed = Mask;
    return kEventPress;
  }
  // Held: only the most recently pressed button repeats.
  if ((Mask & gEventState.LastPressed) != 0 && (Record->Flags & kButtonRepeat) != 0)
    return kEventPress;
  return kEventNone;
}

VOID EFIAPI ButtonEventHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext) {
  (void)DispatchHandle;
  (void)DispatchContext;
  if (ReadAndAckEcEvent() == 0)
    return;
  gEventState.Current = EcRead(kEcButtonState);
  for (UINTN Index = 0; Index < kButtonCount; ++Index) {
    const ButtonRecord *Record = &gLiveButtons[Index];
    UINT32 Code = ButtonEventCode(Record, UINT8(Record->EventMask));
    if (Code == kEventNone)
      continue;
    if ((Record->Flags & kButtonSendKeyCodes) != 0 && (Record->Flags & kButtonActionMode) == 0 &&
        IsAcpiMode())
      EnqueueKeyCodes(Record, UINT8(Code));
    else
      Record->Action(Code);
  }
  gEventState.Previous = gEventState.Current;
  if (gEventState.Current == 0)
    gEventState.LastPressed = 0;
  FlushKeyQueue();
}

} // namespace ButtonSmm
