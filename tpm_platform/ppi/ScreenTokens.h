// String tokens of the confirmation screen: the string IDs of the driver's
// string package (tpm_platform/ppi/StringPackageData.cpp holds the texts).
#pragma once
#include "Uefi/UefiBaseType.h"

namespace TpmPlatform {

enum ScreenToken : UINT16 {
  kTokenLanguageName = 1,
  kTokenRequestOpening = 2,
  kTokenSentenceClosing = 3,
  kTokenConfirmClearOpening = 4,
  kTokenConfirmOpening = 5,
  kTokenKeysClear = 6,
  kTokenWarningClearEnable = 7,
  kTokenWarningClear = 8,
  kTokenWarningDisable = 9,
  kTokenKeys = 10,
  kTokenWordEnable = 11,
  kTokenWordDisable = 12,
  kTokenWordActivate = 13,
  kTokenWordDeactivate = 14,
  kTokenWordOwnerInstall = 15,
  kTokenWordNoOwnerInstall = 16,
  kTokenWordClear = 17,
  kTokenWordNoClear = 18,
  kTokenRequestNoPpiProvision = 19,
  kTokenConfirmNoPpiProvision = 20,
  kTokenRequestNoPpiClear = 21,
  kTokenConfirmNoPpiClear = 22,
  kTokenNoteEnabled = 23,
  kTokenNoteDisabled = 24,
  kTokenNoteCleared = 25,
  kTokenRequestNoPpiMaintenance = 26,
  kTokenConfirmNoPpiMaintenance = 27,
  kTokenSeparator = 28,
  kTokenLast = 28,
};

// Capacities of the screen's buffers, in UTF-16 characters with terminator.
constexpr UINTN kScreenTokenChars = 1280;
constexpr UINTN kScreenLineChars = 256;
constexpr UINTN kScreenColumns = 80;

} // namespace TpmPlatform
