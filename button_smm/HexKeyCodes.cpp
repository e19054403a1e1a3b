// Parses the key-code text of SetButton: "E030" is the two bytes E0 30.
#include "button_smm/HexKeyCodes.h"
#include "button_smm/Buttons.h"

namespace ButtonSmm {

BOOLEAN HexDigitValue(CHAR16 Character, UINT8 *Value) {
  if (Character >= u'0' && Character <= u'9')
    *Value = UINT8(Character - u'0');
  else if (Character >= u'A' && Character <= u'F')
    *Value = UINT8(Character - u'A' + 10);
  else if (Character >= u'a' && Character <= u'f')
    *Value = UINT8(Character - u'a' + 10);
  else
    return FALSE;
  return TRUE;
}

BOOLEAN ParseHexKeyCodes(WideSpan Text, UINT8 *Bytes, UINTN *Count) {
  *Count = 0;
  for (UINTN At = 0; WideSpanAt(Text, At) != 0; At += 2) {
    // A single trailing character is ignored, not tested as a digit.
    if (WideSpanAt(Text, At + 1) == 0)
      break;
    UINT8 High;
    UINT8 Low;
    if (!HexDigitValue(WideSpanAt(Text, At), &High) ||
        !HexDigitValue(WideSpanAt(Text, At + 1), &Low))
      return FALSE;
    Bytes[*Count] = UINT8(High * 16 + Low);
    *Count += 1;
    // Nine bytes at most: a tenth one makes the text too long.
    if (*Count == kKeyCodeMax)
      return FALSE;
  }
  return *Count > 0;
}

} // namespace ButtonSmm
