// Key-code text of the command interface: pairs of hexadecimal digits.
#pragma once
#include "button_smm/CommandBuffer.h"

namespace ButtonSmm {

BOOLEAN HexDigitValue(CHAR16 Character, UINT8 *Value);
// Fills Bytes (room for kKeyCodeMax) and *Count; TRUE for 1 to 9 bytes.
BOOLEAN ParseHexKeyCodes(WideSpan Text, UINT8 *Bytes, UINTN *Count);

} // namespace ButtonSmm
