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

// Whether the quick-boot settings ask for a blank line above the screen. A
// variable of another size has no meaningful last byte.
BOOLEAN WantsLeadingBlankLine() {
  UINT8 QrbSetup[kQrbSetupSize];
  FillBytes(QrbSetup, sizeof(QrbSetup), 0);
  UINTN Size = sizeof(QrbSetup);
  EFI_STATUS Status =
      gRT->GetVariable(kQrbSetupVariableName, &gQrbSetupVariableGuid, nullptr, &Size, QrbSetup);
  return Status == EFI_SUCCESS && Size == kQrbSetupSize && QrbSetup[kQrbSetupBlankLineOffset] == 0;
}

UINT16 NoteToken(UINT8 Operation) {
  switch (Operation) {
  case 6:
  case 10:
    return kTokenNoteEnabled;
  case 7:
  case 11:
    return kTokenNoteDisabled;
  case 14:
  case 22:
    return kTokenNoteCleared;
  default:
    return 0;
  }
}

UINT16 WarningToken(UINT8 Operation) {
  switch (Operation) {
  case 14:
  case 22:
    return kTokenWarningClearEnable;
  case 5:
  case 21:
    return kTokenWarningClear;
  case 2:
  case 4:
  case 7:
  case 11:
    return kTokenWarningDisable;
  default:
    return 0;
  }
}

BOOLEAN IsFlagOperation(UINT8 Operation) {
  return Operation >= kPpiSetNoPpiProvisionFalse && Operation <= kPpiSetNoPpiMaintenanceTrue;
}

VOID AppendConfirmationClosing(UINT8 Operation, UINT16 ActionMask, UINTN Count, CHAR16 *Line) {
  switch (Operation) {
  case kPpiSetNoPpiProvisionTrue:
    AppendToken(Line, kTokenConfirmNoPpiProvision);
    return;
  case kPpiSetNoPpiClearTrue:
    AppendToken(Line, kTokenConfirmNoPpiClear);
    return;
  case kPpiSetNoPpiMaintenanceTrue:
    // The stored closing text of this operation, in line with 16 and 18.
    AppendToken(Line, kTokenConfirmNoPpiMaintenance);
    return;
  default:
    if (IsFlagOperation(Operation))
      return;
    AppendActionList(ActionMask, Count, Line);
    AppendToken(Line, kTokenSentenceClosing);
    return;
  }
}
} // namespace

VOID ShowPpiConfirmation(UINT8 Operation) {
  const UINT16 ActionMask = GetPpiActionMask(Operation);
  const UINT8 Current = gPpi.CurrentOperation;

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
  if (IsFlagOperation(Operation)) {
    AppendFlagRequestText(Operation, Line);
  } else {
    AppendToken(Line, kTokenRequestOpening);
    AppendActionList(ActionMask, Count, Line);
    AppendToken(Line, kTokenSentenceClosing);
  }
  PrintWrapped(Screen, Line);

  if (UINT16 Note = NoteToken(Current))
    PrintToken(Screen, Note);
  PrintToken(Screen, kTokenSeparator);
  if (UINT16 Warning = WarningToken(Current))
    PrintToken(Screen, Warning);
  PrintToken(Screen, kTokenSeparator);

  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);
  Screen->PrintLine(Line);

  // Confirmation sentence.
  AppendToken(Line,
              IsClearClassOperation(Current) ? kTokenConfirmClearOpening : kTokenConfirmOpening);
  AppendConfirmationClosing(Operation, ActionMask, Count, Line);
  PrintWrapped(Screen, Line);

  if (gPpi.ConfirmationMode == kPpiConfirmWithRefusal)
    PrintToken(Screen, IsClearClassOperation(Current) ? kTokenKeysClear : kTokenKeys);

  FillBytes(Line, kScreenLineChars * sizeof(CHAR16), 0);
  Screen->PrintLine(Line);
  gBS->FreePool(Line);
}

} // namespace TpmPlatform
