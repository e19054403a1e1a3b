// A physical-presence request on real firmware: SetNoPPIProvision_True needs
// consent; the screen is drawn from the driver's own strings (served by OVMF's
// HII database) and the confirmation override answers yes. The driver sets the
// Setup flag, records result 0 and lets the boot go on.
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"
#include "support/Strings.h"
#include "tests/firmware/app/StandIns.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TestLog.h"
#include "tests/firmware/app/TpmPlatformRun.h"
#include "tests/firmware/app/Variables.h"

namespace FirmwareTest {

namespace {

EFI_STATUS EFIAPI NoKeyReset(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, BOOLEAN) {
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI NoKey(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, EFI_INPUT_KEY *) {
  return EFI_NOT_READY;
}
constinit EFI_SIMPLE_TEXT_INPUT_PROTOCOL gKeyboard = {NoKeyReset, NoKey, nullptr};

// The screen's expected lines: each entry is one line, or one sentence that
// the screen may split once when it is wider than 79 columns.
struct Expected {
  CHAR16 Text[512];
};
constinit Expected gExpected[16] = {};

UINTN Append(CHAR16 *Line, UINT16 Token) {
  CHAR16 text[256];
  ReadDriverString(Token, text, 256);
  WideCopy(Line + WideLength(Line), text);
  return WideLength(Line);
}

// Matches captured lines against one expected sentence; returns the lines used, 0 on mismatch.
UINTN MatchSentence(UINTN At, const CHAR16 *Sentence) {
  if (At >= gScreen.Lines)
    return 0;
  const CHAR16 *first = gScreen.Text[At];
  UINTN firstLength = WideLength(first);
  UINTN length = WideLength(Sentence);
  if (firstLength == length && CompareBytes(first, Sentence, 2 * length) == 0)
    return length <= 79 ? 1 : 0;
  if (length <= 79 || firstLength > 80 || At + 1 >= gScreen.Lines)
    return 0;
  const CHAR16 *second = gScreen.Text[At + 1];
  if (CompareBytes(first, Sentence, 2 * firstLength) != 0 ||
      WideLength(second) != length - firstLength ||
      CompareBytes(second, Sentence + firstLength, 2 * (length - firstLength)) != 0)
    return 0;
  return 2;
}

} // namespace

VOID TpmPlatformPpiStory() {
  if (gTpmRun.Hooks == nullptr)
    return;
  EFI_STATUS status = gTpmRun.Hooks->ProcessPpiRequestHook();
  Check(status == EFI_SUCCESS, u"ProcessPpiRequestHook arms the request (%r)", status);
  Check(gScreen.BeginCount == 0, u"nothing is shown before a text-input device arrives");

  // A new console input device: the notification runs the request.
  EFI_HANDLE keyboard = nullptr;
  status = gFw.Bs->InstallProtocolInterface(&keyboard, &gEfiSimpleTextInProtocolGuid,
                                            EFI_NATIVE_INTERFACE, &gKeyboard);
  Check(!EFI_ERROR(status), u"a text-input device is installed (%r)", status);
  Check(gScreen.BeginCount == 1, u"the confirmation screen is drawn once (%d)", gScreen.BeginCount);

  // Operation 16, confirmation mode 1: four separator lines, the request
  // sentence, separator, separator, blank, the confirmation sentence, the key
  // line, blank.
  UINTN n = 0;
  for (int i = 0; i < 4; ++i)
    Append(gExpected[n++].Text, 28);
  Append(gExpected[n].Text, 2);
  Append(gExpected[n++].Text, 19);
  Append(gExpected[n++].Text, 28);
  Append(gExpected[n++].Text, 28);
  ++n; // blank
  Append(gExpected[n].Text, 5);
  Append(gExpected[n++].Text, 20);
  Append(gExpected[n++].Text, 10);
  ++n; // blank
  UINTN at = 0;
  BOOLEAN same = TRUE;
  for (UINTN i = 0; i < n && same; ++i) {
    UINTN used = MatchSentence(at, gExpected[i].Text);
    if (used == 0) {
      Print(u"screen line %d differs from expected line %d: \"%s\"", at, i, gExpected[i].Text);
      same = FALSE;
    }
    at += used;
  }
  Check(same && at == gScreen.Lines, u"the screen shows the driver's texts in order (%d lines)",
        gScreen.Lines);

  UINT8 setup[kSetupDataSize];
  UINTN size = kSetupDataSize;
  status = ReadVariable(kSetupVariableName, gSetupVariableGuid, setup, &size);
  if (Check(!EFI_ERROR(status), u"Setup readable after the request")) {
    Check(setup[kSetupNoPpiProvision] == 1, u"Setup byte 834 set by operation 16");
    gTpmRun.SetupAfter[kSetupNoPpiProvision] = 1;
    Check(CompareBytes(setup, gTpmRun.SetupAfter, kSetupDataSize) == 0,
          u"no other Setup byte changed by the request");
  }
  const UINT8 ppi[5] = {0, 16, 0, 0, 0};
  Check(VariableEquals(kPpiRequestVariableName, gPpiRequestVariableGuid, ppi, 5),
        u"ZELTCGPPIVAR ends as 00 10 00 00 00 (result 0)");

  status = gTpmRun.Hooks->ZeroPpiVariableHook();
  const UINT8 zero[5] = {0, 0, 0, 0, 0};
  Check(status == EFI_SUCCESS &&
            VariableEquals(kPpiRequestVariableName, gPpiRequestVariableGuid, zero, 5),
        u"ZeroPpiVariableHook writes five zero bytes (%r)", status);
}

} // namespace FirmwareTest
