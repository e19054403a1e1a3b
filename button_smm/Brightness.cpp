// Backlight level and brightness percent.
#include "button_smm/Brightness.h"
#include "button_smm/Buttons.h"
#include "button_smm/CommandBuffer.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"

namespace ButtonSmm {

namespace {

constexpr UINT8 kBrightnessMinLevel[] = {0x31, 0x36, 0x28, 0x31, 0x35, 0x32};
constexpr UINT8 kPanelCount = sizeof(kBrightnessMinLevel);

} // namespace

constinit UINT8 CurrentBrightness = 0;

INT32 BrightnessMinLevel(UINT8 PanelIndex) {
  // An unknown panel (also 0xFF before the platform data is read) gets the
  // plain 0 to 255 range.
  return PanelIndex < kPanelCount ? kBrightnessMinLevel[PanelIndex] : 0;
}

UINT8 LevelToPercent(UINT8 Level, INT32 MinLevel) {
  INT32 L = Level == 0 ? 128 : Level;
  INT32 Percent = ((L - MinLevel + 5) * 100) / (255 - MinLevel);
  // Levels far below the panel's minimum would give a negative percent.
  if (Percent < 0)
    return 0;
  return Percent > 100 ? 100 : UINT8(Percent);
}

UINT8 PercentToLevel(UINT8 Percent, INT32 MinLevel) {
  INT32 P = Percent > 100 ? 100 : Percent;
  return UINT8(MinLevel + ((255 - MinLevel) * P) / 100);
}

UINT8 GetBrightnessPercent() {
  return LevelToPercent(EcRead(kEcBacklightLevel), BrightnessMinLevel(PanelIndex()));
}

VOID SetBrightnessPercent(UINT8 Percent) {
  UINT8 P = Percent > 100 ? 100 : Percent;
  CurrentBrightness = P;
  EcWrite(kEcBacklightLevel, PercentToLevel(P, BrightnessMinLevel(PanelIndex())));
  EcWrite(kEcBacklightCommit, 0x21);
}

VOID EFIAPI BrightnessSmiHandler(EFI_HANDLE DispatchHandle, VOID *DispatchContext) {
  (void)DispatchHandle;
  (void)DispatchContext;
  if (!CommandBufferPresent())
    return;
  if (CommandBufferRead32(kCbArgument) == 0)
    CommandBufferWrite32(kCbValue, CurrentBrightness);
  else
    SetBrightnessPercent(UINT8(CommandBufferRead32(kCbValue)));
  CommandBufferSetStatus(kStatusHandled);
}

VOID StepBrightness(INT32 Delta, UINT8 Direction) {
  INT32 Value = INT32(CurrentBrightness) + Delta;
  Value = Value < 0 ? 0 : (Value > 100 ? 100 : Value);
  SetBrightnessPercent(UINT8(Value));
  if (!CommandBufferPresent() || !IsAcpiMode())
    return;
  if (Direction == kStepDown) {
    CommandBufferSetStatus(kStatusBrightnessDown);
    CommandBufferClearStatus(kStatusBrightnessUp);
  } else {
    CommandBufferClearStatus(kStatusBrightnessDown);
    CommandBufferSetStatus(kStatusBrightnessUp);
  }
  CommandBufferWrite32(kCbValue, CurrentBrightness);
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
