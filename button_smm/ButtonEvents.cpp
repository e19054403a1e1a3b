// GPI 6: turns changes of the EC button state byte into press, repeat and
// release events, and those into key codes or action calls.
#include "button_smm/Buttons.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

constinit ButtonEventState EventState = {};

UINT32 ButtonEventCode(const ButtonRecord *Record, UINT8 Mask) {
  if ((Record->Flags & kButtonEnabled) == 0)
    return kEventNone;
  if ((Mask & EventState.Current) == 0)
    return (Mask & EventState.Previous) != 0 ? kEventRelease : kEventNone;
  if ((Mask & EventState.Previous) == 0) {
    EventState.LastPressed = Mask;
    return kEventPress;
  }
  // Held: only the most recently pressed button repeats.
  if ((Mask & EventState.LastPressed) != 0 && (Record->Flags & kButtonRepeat) != 0)
    return kEventPress;
  return kEventNone;
}

VOID EFIAPI ButtonEventHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext) {
  (void)DispatchHandle;
  (void)DispatchContext;
  if (ReadAndAckEcEvent() == 0)
    return;
  EventState.Current = EcRead(kEcButtonState);
  for (UINTN Index = 0; Index < kButtonCount; ++Index) {
    const ButtonRecord *Record = &LiveButtons[Index];
    UINT32 Code = ButtonEventCode(Record, UINT8(Record->EventMask));
    if (Code == kEventNone)
      continue;
    if ((Record->Flags & kButtonSendKeyCodes) != 0 && (Record->Flags & kButtonActionMode) == 0 &&
        IsAcpiMode())
      EnqueueKeyCodes(Record, UINT8(Code));
    else
      Record->Action(Code);
  }
  EventState.Previous = EventState.Current;
  if (EventState.Current == 0)
    EventState.LastPressed = 0;
  FlushKeyQueue();
}

} // namespace ButtonSmm
