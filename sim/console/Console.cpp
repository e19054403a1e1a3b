#include "sim/console/Console.h"

#include "sim/console/Terminal.h"
#include "sim/core/Errors.h"
#include "sim/core/Text.h"

namespace sim {

namespace {
Console *gCurrent = nullptr;

Console &Need() {
  if (gCurrent == nullptr)
    throw SimulationError("console protocol called without a console");
  return *gCurrent;
}
} // namespace

Console *Console::Current() {
  return gCurrent;
}
void Console::SetCurrent(Console *console) {
  gCurrent = console;
}

// The protocols' entry points. TextScreenProtocol passes no interface
// pointer: it reaches the board's console.
struct ConsoleThunks {
  static EFI_STATUS EFIAPI InputReset(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *, BOOLEAN) {
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ReadKeyStroke(EFI_SIMPLE_TEXT_INPUT_PROTOCOL *This, EFI_INPUT_KEY *Key) {
    if (This == nullptr || Key == nullptr)
      return EFI_INVALID_PARAMETER;
    return reinterpret_cast<Console::TextInput *>(This)->Owner->ReadKey(Key);
  }

  static Console &Of(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This) {
    (void)This;
    return Need();
  }
  static EFI_STATUS EFIAPI OutReset(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, BOOLEAN) {
    Of(This).screen_.Clear();
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI OutputString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This,
                                        const CHAR16 *String) {
    if (String == nullptr)
      return EFI_INVALID_PARAMETER;
    Of(This).screen_.Print(std::u16string_view(String, WideLength(String)));
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI TestString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, const CHAR16 *) {
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI QueryMode(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *, UINTN Mode, UINTN *Columns,
                                     UINTN *Rows) {
    if (Mode != 0)
      return EFI_UNSUPPORTED;
    if (Columns == nullptr || Rows == nullptr)
      return EFI_INVALID_PARAMETER;
    *Columns = TextScreen::kColumns;
    *Rows = TextScreen::kRows;
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI SetMode(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, UINTN Mode) {
    if (Mode != 0)
      return EFI_UNSUPPORTED;
    Of(This).screen_.Clear();
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI SetAttribute(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, UINTN Attribute) {
    Of(This).outputMode_.Attribute = INT32(Attribute);
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ClearScreen(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This) {
    Of(This).screen_.Clear();
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI SetCursorPosition(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, UINTN Column,
                                             UINTN Row) {
    return Of(This).screen_.SetCursor(Column, Row) ? EFI_SUCCESS : EFI_UNSUPPORTED;
  }
  static EFI_STATUS EFIAPI EnableCursor(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, BOOLEAN Visible) {
    Of(This).outputMode_.CursorVisible = Visible;
    return EFI_SUCCESS;
  }

  static EFI_STATUS EFIAPI ScreenClear() {
    Need().screen_.Clear();
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ScreenPrintLine(const CHAR16 *String) {
    if (String == nullptr)
      return EFI_INVALID_PARAMETER;
    Need().screen_.PrintLine(std::u16string_view(String, WideLength(String)));
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ScreenPrint(const CHAR16 *String) {
    if (String == nullptr)
      return EFI_INVALID_PARAMETER;
    Need().screen_.Print(std::u16string_view(String, WideLength(String)));
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ScreenSetAttribute(UINTN) { return EFI_SUCCESS; }
  static EFI_STATUS EFIAPI ScreenGetSize(UINTN *Columns, UINTN *Rows) {
    if (Columns == nullptr || Rows == nullptr)
      return EFI_INVALID_PARAMETER;
    *Columns = TextScreen::kColumns;
    *Rows = TextScreen::kRows;
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ScreenBegin() {
    Console &console = Need();
    console.screen_.Clear();
    console.screen_.SetCursor(0, console.beginRow_);
    ++console.begun_;
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI ScreenSetCursor(UINTN Column, UINTN Row) {
    return Need().screen_.SetCursor(Column, Row) ? EFI_SUCCESS : EFI_UNSUPPORTED;
  }
  static EFI_STATUS EFIAPI ScreenGetCursor(UINTN *Column, UINTN *Row) {
    if (Column == nullptr || Row == nullptr)
      return EFI_INVALID_PARAMETER;
    *Column = Need().screen_.CursorColumn();
    *Row = Need().screen_.CursorRow();
    return EFI_SUCCESS;
  }
};

Console::Console() {
  output_ = {ConsoleThunks::OutReset,     ConsoleThunks::OutputString,
             ConsoleThunks::TestString,   ConsoleThunks::QueryMode,
             ConsoleThunks::SetMode,      ConsoleThunks::SetAttribute,
             ConsoleThunks::ClearScreen,  ConsoleThunks::SetCursorPosition,
             ConsoleThunks::EnableCursor, &outputMode_};
  outputMode_.MaxMode = 1;
  outputMode_.CursorVisible = TRUE;
  screenProtocol_ = {ConsoleThunks::ScreenClear,     ConsoleThunks::ScreenPrintLine,
                     ConsoleThunks::ScreenPrint,     ConsoleThunks::ScreenSetAttribute,
                     ConsoleThunks::ScreenGetSize,   ConsoleThunks::ScreenBegin,
                     ConsoleThunks::ScreenSetCursor, ConsoleThunks::ScreenGetCursor};
}

Console::~Console() {
  if (gCurrent == this)
    gCurrent = nullptr;
}

void Console::SetKeys(std::vector<EFI_INPUT_KEY> keys) {
  keys_.assign(keys.begin(), keys.end());
}

void Console::AddKeys(const std::vector<EFI_INPUT_KEY> &keys) {
  keys_.insert(keys_.end(), keys.begin(), keys.end());
}

void Console::PowerOn() {
  screen_ = TextScreen();
  inputs_.clear();
  emptyPolls_ = 0;
  begun_ = 0;
  outputMode_.Attribute = 0;
}

Console::TextInput *Console::NewTextInput() {
  auto input = std::make_unique<TextInput>();
  input->Protocol = {ConsoleThunks::InputReset, ConsoleThunks::ReadKeyStroke, nullptr};
  input->Owner = this;
  input->Handle = nullptr;
  inputs_.push_back(std::move(input));
  return inputs_.back().get();
}

EFI_STATUS Console::ReadKey(EFI_INPUT_KEY *key) {
  if (!keys_.empty()) {
    *key = keys_.front();
    keys_.pop_front();
  } else if (terminal_ != nullptr) {
    terminal_->Draw("platsim: the firmware waits for a key (Ctrl-C ends the run)", screen_.Rows());
    *key = terminal_->ReadKey();
  } else {
    if (++emptyPolls_ > kMaxEmptyPolls)
      throw BoardHung{"the confirmation screen is waiting for a key and no key is left"};
    return EFI_NOT_READY;
  }
  emptyPolls_ = 0;
  read_.push_back(*key);
  return EFI_SUCCESS;
}

} // namespace sim
