// Sentences of the confirmation screen: token texts, the action list and the
// split of a long sentence over two rows.
#include "tpm_platform/ppi/ScreenText.h"

#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StringPackage.h"
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

namespace {
// Action word per 2 x field + (1 when the field's value is 2).
constexpr UINT16 kActionWords[12] = {
    kTokenWordEnable,       kTokenWordDisable,        kTokenWordActivate, kTokenWordDeactivate,
    kTokenWordOwnerInstall, kTokenWordNoOwnerInstall, kTokenWordClear,    kTokenWordNoClear,
    kTokenWordEnable,       kTokenWordDisable,        kTokenWordActivate, kTokenWordDeactivate,
};
constexpr UINTN kActionFields = 6;
} // namespace

EFI_STATUS GetScreenString(UINT16 Token, CHAR16 **Buffer) {
  *Buffer = nullptr;
  VOID *Pool = nullptr;
  EFI_STATUS Status =
      gBS->AllocatePool(EfiBootServicesData, kScreenTokenChars * sizeof(CHAR16), &Pool);
  if (EFI_ERROR(Status) || Pool == nullptr)
    return EFI_ERROR(Status) ? Status : EFI_OUT_OF_RESOURCES;
  CHAR16 *Text = static_cast<CHAR16 *>(Pool);
  FillBytes(Text, kScreenTokenChars * sizeof(CHAR16), 0);

  UINTN Length = kScreenTokenChars;
  Status = ReadPackageString(gStringPackageHandle, Token, &Length, Text);
  // A failed read may have left part of a text behind; a full buffer may lack
  // its terminator.
  if (EFI_ERROR(Status))
    Text[0] = 0;
  Text[kScreenTokenChars - 1] = 0;
  *Buffer = Text;
  return EFI_ERROR(Status) ? Status : EFI_SUCCESS;
}

VOID AppendLine(CHAR16 *Line, const CHAR16 *Text) {
  UINTN End = WideLength(Line);
  while (End + 1 < kScreenLineChars && *Text != 0)
    Line[End++] = *Text++;
  Line[End] = 0;
}

VOID AppendToken(CHAR16 *Line, UINT16 Token) {
  CHAR16 *Text = nullptr;
  GetScreenString(Token, &Text);
  if (Text != nullptr) {
    AppendLine(Line, Text);
    gBS->FreePool(Text);
  }
}

VOID AppendActionList(UINT16 ActionMask, UINTN ItemCount, CHAR16 *Line) {
  const CHAR16 *Separator = ItemCount == 2 ? u" and " : u", ";
  UINTN Items = 0;
  for (UINTN Field = 0; Field < kActionFields; ++Field) {
    const UINT16 Value = (ActionMask >> (2 * Field)) & 3;
    if (Value == 0)
      continue;
    AppendToken(Line, kActionWords[2 * Field + (Value == 2 ? 1 : 0)]);
    ++Items;
    if (Items < ItemCount)
      AppendLine(Line, Separator);
    if (Items + 2 == ItemCount)
      Separator = u", and ";
  }
}

VOID PrintWrapped(TextScreenProtocol *Screen, CHAR16 *Line) {
  const UINTN Length = WideLength(Line);
  if (Length < kScreenColumns) {
    Screen->PrintLine(Line);
    return;
  }
  // Split once, after the last blank that keeps the first row within 79
  // columns; a sentence without one is split after its second character.
  UINTN Split = 1;
  for (UINTN Index = kScreenColumns - 1; Index >= 2; --Index) {
    if (Line[Index] == u' ') {
      Split = Index;
      break;
    }
  }
  const CHAR16 Kept = Line[Split + 1];
  Line[Split + 1] = 0;
  Screen->PrintLine(Line);
  Line[Split + 1] = Kept;
  Screen->PrintLine(Line + Split + 1);
}

} // namespace TpmPlatform
