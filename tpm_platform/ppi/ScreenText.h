// Composition of the confirmation screen's lines from string tokens.
#pragma once
#include "Platform/TextScreenProtocol.h"
#include "tpm_platform/ppi/ScreenTokens.h"

namespace TpmPlatform {

// Hands out a zeroed pool buffer of kScreenTokenChars holding the token's
// text; the caller frees it. After a failure the buffer holds "" (or is NULL
// when no pool was left) and the error is returned.
EFI_STATUS GetScreenString(UINT16 Token, CHAR16 **Buffer);

// Appends Text to Line (kScreenLineChars); what does not fit is left out.
VOID AppendLine(CHAR16 *Line, const CHAR16 *Text);
VOID AppendToken(CHAR16 *Line, UINT16 Token);

VOID AppendActionList(UINT16 ActionMask, UINTN ItemCount, CHAR16 *Line);
VOID PrintWrapped(TextScreenProtocol *Screen, CHAR16 *Line);

} // namespace TpmPlatform
