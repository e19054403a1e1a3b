// Software SMI 0xE3: the OS reads and changes the button table.
#pragma once
#include "button_smm/Routines.h"

namespace ButtonSmm {

constexpr UINT32 kCommandGetButtonInfo = 0;
constexpr UINT32 kCommandSetButton = 1;
constexpr UINT32 kCommandEnableButton = 2;
constexpr UINT32 kCommandRestoreButton = 3;
constexpr UINT32 COMMAND_SET_kButtonActionMode = 4;
constexpr UINT32 kCommandCount = 5;

} // namespace ButtonSmm
