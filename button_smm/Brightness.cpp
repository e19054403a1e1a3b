// Backlight level and brightness percent.
#include "button_smm/Brightness.h"
#include "button_smm/Buttons.h"
#include "button_smm/CommandBuffer.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

UINT8 GetBrightnessPercent() {
  return LevelToPercent(EcRead(kEcBacklightLevel), BrightnessMinLevel(PanelIndex()));
}

VOID SetBrightnessPercent(UINT8 Percent) {
  UINT8 P = Percent > 100 ? 100 : Percent;
  gCurrentBrightness = P;
  EcWrite(kEcBacklightLevel, PercentToLevel(P, BrightnessMinLevel(PanelIndex())));
  EcWrite(kEcBacklightCommit, 0x21);
}

VOID EFIAPI BrightnessSmiHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext) {
  (void)DispatchHandle;
  (void)DispatchContext;
  if (!CommandBufferPresent())
    return;
  if (CommandBufferRead32(kCbArgument) == 0)
    CommandBufferWrite32(kCbValue, gCurrentBrightness);
  else
    SetBrightnessPercent(UINT8(CommandBufferRead32(kCbValue)));
  CommandBufferSetStatus(kCbStatusHandled);
}

VOID StepBrightness(INT32 Delta, UINT8 Direction) {
  INT32 Value = INT32(gCurrentBrightness) + Delta;
  Value = Value < 0 ? 0 : (Value > 100 ? 100 : Value);
  SetBrightnessPercent(UINT8(Value));
  if (!CommandBufferPresent() || !IsAcpiMode())
    return;
  if (Direction == kStepDown) {
    CommandBufferSetStatus(kCbStatusBrightnessDown);
    CommandBufferClearStatus(kCbStatusBrightnessUp);
  } else {
    CommandBufferClearStatus(kCbStatusBrightnessDown);
    CommandBufferSetStatus(kCbStatusBrightnessUp);
  }
  CommandBufferWrite32(kCbValue, gCurrentBrightness);
  RaiseSci();
}

VOID EFIAPI BrightnessUpAction(UINT32 Event) {
  if (Event == kEventPress)
    StepBrightness(+1, kStepUp);
}

VOID EFIAPI BrightnessDownAction(UINT32 Event) {
  if (Event == kEventPress)
    StepBrightness(-1, kStepDown);
}

} // namespace ButtonSmm
