// The confirmation screen: a band of separators, the request sentence, note
// and warning lines, the confirmation sentence and the key line.
#include "Platform/QrbSetupVariable.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/ppi/PpiState.h"
#include "tpm_platform/ppi/ScreenText.h"

namespace TpmPlatform {

namespace {
constexpr UINTN kSeparatorRows = 4;

VOID PrintToken(TextScreenProtocol *Screen, UINT16 Token) {
  CHAR16 *Text = nullptr;
  GetScreenString(Token, &Text);
  Screen->PrintLine(Text != nullptr ? Text : u"");
  if (Text != nullptr)
    gBS->FreePool(Text);
}

UINTN CountActions(UINT16 ActionMask) {
  UINTN Count = 0;
  for (UINTN Field = 0; Field < 6; ++Field)
    if (((ActionMask >> (2 * Field)) & 3) != 0)
      ++Count;
  return Count;
}

// Whether the quick-boot settings ask for a blank line above the screen. Only
// an exact EFI_SUCCESS counts (a warning leaves the buffer's contents in doubt),
// and a variable of another size has no meaningful last byte.
BOOLEAN WantsLeadingBlankLine() {
  UINT8 QrbSetup[kQrbSetupSize];
  FillBytes(QrbSetup, sizeof(QrbSetup), 0);
  UINTN Size = sizeof(QrbSetup);
  EFI_STATUS Status =
      gRT->GetVariable(kQrbSetupVariableName, &gQrbSetupVariableGuid, nullptr, &Size, QrbSetup);
  return Status == EFI_SUCCESS && Size == kQrbSetupSize && QrbSetup[kQrbSetupBlankLineOffset] == 0;
}

VOID AppendConfirmationClosing(const PpiOperationInfo &Info, UINTN Count, CHAR16 *Line) {
  if (Info.FlagConfirmation != 0) {
    AppendToken(Line, Info.FlagConfirmation);
    return;
  }
  if (Info.FlagOperation)
    return;
  AppendActionList(Info.ActionMask, Count, Line);
  AppendToken(Line, kTokenSentenceClosing);
}
} // namespace

VOID ShowPpiConfirmation(UINT8 Operation) {
  const PpiOperationInfo &Info = PpiOperation(Operation);
  const UINT16 ActionMask = Info.ActionMask;

  VOID *Pool = nullptr;
  EFI_STATUS Status =
      gBS->AllocatePool(EfiBootServicesData, kScreenLineChars * sizeof(CHAR16), &Pool);
  if (EFI_ERROR(Status) || Pool == nullptr)
    return;
  CHAR16 *Line = static_cast<CHAR16 *>(Pool);
  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);

  VOID *Interface = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gTextScreenProtocolGuid, nullptr, &Interface)) ||
      Interface == nullptr) {
    gBS->FreePool(Line);
    return;
  }
  TextScreenProtocol *Screen = static_cast<TextScreenProtocol *>(Interface);

  Screen->BeginScreen();
  const BOOLEAN LeadingBlank = WantsLeadingBlankLine();
  const UINTN Count = CountActions(ActionMask);
  if (LeadingBlank)
    Screen->PrintLine(u"");

  // The separator band covers the four rows above the cursor; a cursor
  // nearer the top starts the band at the first row.
  UINTN Column = 0;
  UINTN Row = 0;
  Screen->GetCursor(&Column, &Row);
  Screen->SetCursor(0, Row >= kSeparatorRows ? Row - kSeparatorRows : 0);
  AppendToken(Line, kTokenSeparator);
  for (UINTN Index = 0; Index < kSeparatorRows; ++Index)
    Screen->PrintLine(Line);

  // Request sentence.
  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);
  if (Info.FlagOperation) {
    if (Info.FlagRequest != 0) {
      AppendToken(Line, kTokenRequestOpening);
      AppendToken(Line, Info.FlagRequest);
    }
  } else {
    AppendToken(Line, kTokenRequestOpening);
    AppendActionList(ActionMask, Count, Line);
    AppendToken(Line, kTokenSentenceClosing);
  }
  PrintWrapped(Screen, Line);

  if (Info.Note != 0)
    PrintToken(Screen, Info.Note);
  PrintToken(Screen, kTokenSeparator);
  if (Info.Warning != 0)
    PrintToken(Screen, Info.Warning);
  PrintToken(Screen, kTokenSeparator);

  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);
  Screen->PrintLine(Line);

  // Confirmation sentence.
  AppendToken(Line, Info.ClearClass ? kTokenConfirmClearOpening : kTokenConfirmOpening);
  AppendConfirmationClosing(Info, Count, Line);
  PrintWrapped(Screen, Line);

  if (gPpi.ConfirmationMode == kPpiConfirmWithRefusal)
    PrintToken(Screen, Info.ClearClass ? kTokenKeysClear : kTokenKeys);

  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);
  Screen->PrintLine(Line);
  gBS->FreePool(Line);
}

} // namespace TpmPlatform
