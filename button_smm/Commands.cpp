// The command interface of software SMI 0xE3. Requests and replies live in
// the OS's command buffer; every string is read only up to the buffer's end,
// and one that runs past it is malformed.
#include "button_smm/Buttons.h"
#include "button_smm/CommandBuffer.h"
#include "button_smm/HexKeyCodes.h"
#include "button_smm/Password.h"
#include "button_smm/Routines.h"

namespace ButtonSmm {

namespace {

// Button names are short; a longer request name matches none.
constexpr UINTN kNameCapacity = 32;

// Finds the button named by the string at kCbStrings. *Malformed is set when
// that string has no NUL inside the buffer.
INTN LookUpName(UINTN *Next, BOOLEAN *Malformed) {
  WideSpan Name;
  *Next = kCbStrings;
  *Malformed = !CommandBufferString(Next, &Name);
  if (*Malformed || Name.Length >= kNameCapacity)
    return -1;
  CHAR16 Copy[kNameCapacity];
  for (UINTN i = 0; i <= Name.Length; ++i)
    Copy[i] = WideSpanAt(Name, i);
  return FindButton(Copy);
}

VOID Finish(UINT32 Result) {
  CommandBufferWrite32(kCbValue, Result);
  if (Result == kCbResultSuccess)
    CommandBufferSetStatus(kCbStatusCommandSucceeded);
}

// Name lookup and, when the configuration asks for it, the password, which
// follows `Skip` more strings after the name. Returns the button or -1 after
// writing the refusal.
INTN AuthorizeChange(UINTN SkipStrings) {
  UINTN Next;
  BOOLEAN Malformed;
  INTN Index = LookUpName(&Next, &Malformed);
  if (Malformed) {
    Finish(kCbResultMalformed);
    return -1;
  }
  if (Index < 0) {
    Finish(kCbResultNoSuchButton);
    return -1;
  }
  if (!PasswordRequired())
    return Index;
  WideSpan Text;
  for (UINTN i = 0; i < SkipStrings; ++i) {
    if (!CommandBufferString(&Next, &Text)) {
      Finish(kCbResultMalformed);
      return -1;
    }
  }
  if (!CommandBufferString(&Next, &Text)) {
    Finish(kCbResultMalformed);
    return -1;
  }
  if (!CheckAdminPassword(&Text)) {
    Finish(kCbResultPasswordRefused);
    return -1;
  }
  return Index;
}

VOID PutHexBytes(UINTN *Offset, const ButtonRecord &Record) {
  constexpr CHAR16 kDigits[] = u"0123456789ABCDEF";
  UINTN Count = Record.KeyCount < kKeyCodeMax ? Record.KeyCount : kKeyCodeMax;
  for (UINTN i = 0; i < Count; ++i) {
    CommandBufferPutUnit(Offset, kDigits[Record.KeyCodes[i] >> 4]);
    CommandBufferPutUnit(Offset, kDigits[Record.KeyCodes[i] & 0x0F]);
  }
  CommandBufferPutUnit(Offset, 0);
}

UINT32 CurrentSettings(const ButtonRecord &Record) {
  return UINT32(RepeatDelay()) | UINT32(RepeatRate()) << kCbSettingsRateShift |
         ((Record.Flags & kButtonRepeat) != 0 ? kCbSettingsRepeat : 0) |
         ((Record.Flags & kButtonEnabled) != 0 ? kCbSettingsEnabled : 0);
}

UINT32 DefaultSettings(const ButtonRecord &Record) {
  return UINT32(kDefaultRepeatDelay) | UINT32(kDefaultRepeatRate) << kCbSettingsRateShift |
         ((Record.Flags & kButtonRepeat) != 0 ? kCbSettingsRepeat : 0);
}

VOID GetButtonInfo() {
  UINTN Next;
  BOOLEAN Malformed;
  INTN Index = LookUpName(&Next, &Malformed);
  UINTN Out = kCbStrings;
  if (Index >= 0) {
    const ButtonRecord &Default = DefaultButtons[Index];
    const ButtonRecord &Live = gLiveButtons[Index];
    PutHexBytes(&Out, Default);
    PutHexBytes(&Out, Live);
    CommandBufferWrite32(kCbValue, (Live.Flags & kButtonActionMode) != 0 ? 1 : 0);
    CommandBufferWrite32(kCbSettings, CurrentSettings(Live));
    CommandBufferWrite32(kCbDefaultSettings, DefaultSettings(Default));
  } else {
    CommandBufferWrite32(kCbValue, 0);
    CommandBufferWrite32(kCbSettings, 0);
    CommandBufferWrite32(kCbDefaultSettings, 0);
  }
  // Whatever is left of the request after the reply is cleared.
  CommandBufferWipeString(Out);
}

VOID SetButton() {
  // The key-code text is the string after the name; the password follows it.
  INTN Index = AuthorizeChange(1);
  if (Index < 0)
    return;
  UINTN Next = kCbStrings;
  WideSpan Text;
  UINT8 Bytes[kKeyCodeMax];
  UINTN Count;
  if (!CommandBufferString(&Next, &Text) || !CommandBufferString(&Next, &Text) ||
      !ParseHexKeyCodes(Text, Bytes, &Count)) {
    Finish(kCbResultMalformed);
    return;
  }
  SetKeyCodes(UINTN(Index), Bytes, INTN(Count));
  SetRepeat(UINTN(Index), CommandBufferRead32(kCbArgument) & 0xFF);
  UINT8 Delay = UINT8(CommandBufferRead32(kCbDefaultSettings));
  UINT8 Rate = UINT8(CommandBufferRead32(kCbSettings));
  if (Delay > 3 || Rate > 15) {
    // The key codes and the repeat flag above stay changed.
    Finish(kCbResultMalformed);
    return;
  }
  SetRepeatTiming(Delay, Rate);
  Finish(kCbResultSuccess);
}

VOID EnableButton() {
  INTN Index = AuthorizeChange(0);
  if (Index < 0)
    return;
  SetEnabled(UINTN(Index), CommandBufferRead32(kCbArgument) & 0xFF);
  Finish(kCbResultSuccess);
}

VOID RestoreButton() {
  INTN Index = AuthorizeChange(0);
  if (Index < 0)
    return;
  RestoreDefaults(UINTN(Index));
  Finish(kCbResultSuccess);
}

VOID SetButtonActionMode() {
  UINTN Next;
  BOOLEAN Malformed;
  INTN Index = LookUpName(&Next, &Malformed);
  if (Malformed) {
    Finish(kCbResultMalformed);
    return;
  }
  if (Index < 0) {
    Finish(kCbResultNoSuchButton);
    return;
  }
  SetActionMode(UINTN(Index), CommandBufferRead32(kCbArgument) & 0xFF);
  Finish(kCbResultSuccess);
}

typedef VOID (*COMMAND_HANDLER)();
constexpr COMMAND_HANDLER kCommands[kCbCommandCount] = {
    GetButtonInfo, SetButton, EnableButton, RestoreButton, SetButtonActionMode,
};

} // namespace

VOID EFIAPI CommandDispatcher(EFI_HANDLE DispatchHandle, VOID *DispatchContext) {
  (void)DispatchHandle;
  (void)DispatchContext;
  if (!CommandBufferPresent())
    return;
  CommandBufferClearStatus(kCbStatusCommandSucceeded);
  UINT32 Command = CommandBufferRead32(kCbValue);
  if (Command < kCbCommandCount)
    kCommands[Command]();
  CommandBufferSetStatus(kCbStatusHandled);
}

} // namespace ButtonSmm
