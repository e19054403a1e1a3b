// The board's console: one 80x25 text screen shown through ConOut
// (EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL) and through TextScreenProtocol, and the
// keyboard behind every text-input device (EFI_SIMPLE_TEXT_INPUT_PROTOCOL).
// Keys come from a list (board file or command line) or, when a terminal is
// attached, from the real keyboard.
#pragma once
#include "Platform/TextScreenProtocol.h"
#include "Uefi/UefiSpec.h"
#include "sim/console/Keys.h"
#include "sim/console/TextScreen.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class RawTerminal;

class Console {
public:
  // One text-input device; the protocol comes first so `This` finds it.
  struct TextInput {
    EFI_SIMPLE_TEXT_INPUT_PROTOCOL Protocol;
    Console *Owner;
    EFI_HANDLE Handle;
  };

  // A key wait with nothing to read gives up after this many empty polls.
  static constexpr unsigned kMaxEmptyPolls = 1000;

  Console();
  ~Console();
  Console(const Console &) = delete;
  Console &operator=(const Console &) = delete;

  TextScreen &Screen() { return screen_; }
  const TextScreen &Screen() const { return screen_; }

  void SetKeys(std::vector<EFI_INPUT_KEY> keys);
  void AddKeys(const std::vector<EFI_INPUT_KEY> &keys);
  size_t KeysLeft() const { return keys_.size(); }
  // Keys the firmware read, in order.
  const std::vector<EFI_INPUT_KEY> &KeysRead() const { return read_; }
  // With a terminal the keyboard is read once the list is used up.
  void AttachTerminal(RawTerminal *terminal) { terminal_ = terminal; }
  // Row of the cursor after BeginScreen (the rows above belong to the logo).
  void SetBeginRow(size_t row) { beginRow_ = row; }
  size_t BeginRow() const { return beginRow_; }

  // Per boot: a fresh screen and fresh devices.
  void PowerOn();
  // A new text-input device (handle + protocol instance) for the boot
  // services to install; its WaitForKey event is created by the caller.
  TextInput *NewTextInput();
  const std::vector<std::unique_ptr<TextInput>> &TextInputs() const { return inputs_; }
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *TextOutput() { return &output_; }
  TextScreenProtocol *ScreenProtocol() { return &screenProtocol_; }
  unsigned ScreenBegun() const { return begun_; }

  // ReadKeyStroke's work: the next key, EFI_NOT_READY, or BoardHung.
  EFI_STATUS ReadKey(EFI_INPUT_KEY *key);
  bool KeyAvailable() const { return !keys_.empty() || terminal_ != nullptr; }

  // The console of the current board (set by the board's console part).
  static Console *Current();
  static void SetCurrent(Console *console);

private:
  friend struct ConsoleThunks;
  TextScreen screen_;
  std::deque<EFI_INPUT_KEY> keys_;
  std::vector<EFI_INPUT_KEY> read_;
  RawTerminal *terminal_ = nullptr;
  unsigned emptyPolls_ = 0;
  size_t beginRow_ = 4;
  unsigned begun_ = 0;
  std::vector<std::unique_ptr<TextInput>> inputs_;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL output_{};
  SIMPLE_TEXT_OUTPUT_MODE outputMode_{};
  TextScreenProtocol screenProtocol_{};
};

} // namespace sim
