// The operating system's side of the hot-key driver's software SMIs: requests
// written into the shared command buffer, the SMI raised by writing the value
// to port 0xB2, the reply read back.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace SmmStory {

constexpr UINTN kMaxReplyStrings = 2;
constexpr UINTN kReplyStringUnits = 32;

struct Reply {
  UINT32 Status;
  UINT32 Value;
  UINT32 Settings;
  UINT32 DefaultSettings;
  CHAR16 Strings[kMaxReplyStrings][kReplyStringUnits];
};

// Points the requests at the command buffer at Address (one page).
VOID UseCommandBuffer(UINT8 *Address);

// SMI 0xE3: Command with its strings (each ended by a NUL), Argument, and the
// settings words of command 1. The status word is cleared before the SMI.
Reply CommandSmi(UINT32 Command, const CHAR16 *const *Strings, UINTN StringCount,
                 UINT32 Argument = 0, UINT32 Settings = 0, UINT32 DefaultSettings = 0);
// SMI 0xE0: Argument 0 reads the brightness percent, otherwise sets Percent.
Reply BrightnessSmi(UINT32 Argument, UINT32 Percent);

} // namespace SmmStory
