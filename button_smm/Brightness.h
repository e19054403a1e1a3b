// The panel backlight: EC level and brightness percent, software SMI 0xE0 and
// the brightness buttons.
#pragma once
#include "button_smm/Globals.h"
#include "button_smm/Routines.h"

namespace ButtonSmm {

constexpr UINT16 kEcBacklightLevel = 0x6A8;
constexpr UINT16 kEcBacklightCommit = 0x6E3;
constexpr UINT8 kStepUp = 1;
constexpr UINT8 kStepDown = 2;

// Lowest usable level of the panel named by the platform configuration.
INT32 BrightnessMinLevel(UINT8 PanelIndex);
UINT8 LevelToPercent(UINT8 Level, INT32 MinLevel);
UINT8 PercentToLevel(UINT8 Percent, INT32 MinLevel);

VOID StepBrightness(INT32 Delta, UINT8 Direction);

} // namespace ButtonSmm
