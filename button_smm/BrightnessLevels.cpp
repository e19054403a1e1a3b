// Conversion between the EC backlight level and the brightness percent. The
// lowest usable level depends on the panel.
#include "button_smm/Brightness.h"

namespace ButtonSmm {

namespace {

constexpr UINT8 kBrightnessMinLevel[] = {0x31, 0x36, 0x28, 0x31, 0x35, 0x32};
constexpr UINT8 kPanelCount = sizeof(kBrightnessMinLevel);

} // namespace

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

} // namespace ButtonSmm
