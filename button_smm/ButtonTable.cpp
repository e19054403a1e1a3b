// The operations the command interface and start-up use on the live button
// table.
#include "button_smm/Brightness.h"
#include "button_smm/Buttons.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

namespace {

BOOLEAN NamesEqual(const CHAR16 *A, const CHAR16 *B) {
  while (*A != 0 && *A == *B) {
    ++A;
    ++B;
  }
  return *A == *B;
}

VOID SetFlag(UINTN Index, UINT8 Flag, UINTN On) {
  if ((On & 0xFF) != 0)
    gLiveButtons[Index].Flags |= Flag;
  else
    gLiveButtons[Index].Flags &= UINT8(~Flag);
}

UINT8 WithMask(UINT8 Value, UINT8 Mask, BOOLEAN On) {
  return UINT8((Value & ~Mask) | (On ? Mask : 0));
}

} // namespace

VOID EFIAPI NoAction(UINT32 Event) {
  (void)Event;
}

INTN FindButton(const CHAR16 *Name) {
  for (UINTN Index = 0; Index < kButtonCount; ++Index) {
    if (NamesEqual(gLiveButtons[Index].Name, Name))
      return INTN(Index);
  }
  return -1;
}

EFI_STATUS SetKeyCodes(UINTN Index, const UINT8 *Bytes, INTN Count) {
  // A negative count would be stored as a KeyCount above ten.
  if (Index >= kButtonCount || Count > INTN(kKeyCodeMax) || Count < 0)
    return EFI_INVALID_PARAMETER;
  ButtonRecord &Record = gLiveButtons[Index];
  for (INTN i = 0; i < Count; ++i)
    Record.KeyCodes[i] = Bytes[i];
  Record.KeyCount = UINT8(Count);
  return EFI_SUCCESS;
}

EFI_STATUS SetRepeat(UINTN Index, UINTN On) {
  if (Index >= kButtonCount)
    return EFI_INVALID_PARAMETER;
  SetFlag(Index, kButtonRepeat, On);
  return EFI_SUCCESS;
}

EFI_STATUS SetActionMode(UINTN Index, UINTN On) {
  if (Index >= kButtonCount)
    return EFI_INVALID_PARAMETER;
  SetFlag(Index, kButtonActionMode, On);
  return EFI_SUCCESS;
}

EFI_STATUS SetEnabled(UINTN Index, UINTN On) {
  if (Index >= kButtonCount)
    return EFI_INVALID_PARAMETER;
  SetFlag(Index, kButtonEnabled, On);
  // The microphone-mute entry has no event; its flag drives the indicator,
  // which is lit while the entry is disabled.
  if (INTN(Index) == FindButton(kMicrophoneMuteName))
    SetMicMuteIndicator((On & 0xFF) == 0);
  return EFI_SUCCESS;
}

VOID SetRepeatTiming(UINT8 Delay, UINT8 Rate) {
  SetRepeatDelay(Delay);
  SetRepeatRate(Rate);
  EcWrite(kEcRepeatTiming, UINT8((Rate << 4) | (Delay << 1)));
}

EFI_STATUS RestoreDefaults(UINTN Index) {
  if (Index >= kButtonCount)
    return EFI_INVALID_PARAMETER;
  gLiveButtons[Index] = DefaultButtons[Index];
  SetRepeatTiming(kDefaultRepeatDelay, kDefaultRepeatRate);
  return EFI_SUCCESS;
}

VOID ApplyButtonEcBits(UINTN Index, BOOLEAN On) {
  if (Index >= kButtonCount)
    return;
  const ButtonRecord &Record = gLiveButtons[Index];
  UINT8 Value1 = EcRead(Record.EcReg1);
  UINT8 Value2 = EcRead(Record.EcReg2);
  UINT8 Value3 = EcRead(Record.EcReg3);
  EcWriteRecorded(Record.EcReg1, WithMask(Value1, Record.EcMask1, On));
  EcWriteRecorded(Record.EcReg2, WithMask(Value2, Record.EcMask2, On));
  EcWriteRecorded(Record.EcReg3, WithMask(Value3, Record.EcMask3, On));
}

} // namespace ButtonSmm
