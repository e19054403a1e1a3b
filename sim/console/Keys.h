// Keys as the console hands them to the firmware: key names for key lists
// ("F3", "Enter", "a"), and the decoder of a terminal's byte stream (VT100,
// xterm and Linux-console escape sequences) into EFI_INPUT_KEY.
#pragma once
#include "Uefi/SimpleText.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// F1..F12, Esc, Enter, Tab, Backspace, Space, Up, Down, Left, Right, Home,
// End, Insert, Delete, PageUp, PageDown (any case), or one printable
// character. nullopt for anything else.
std::optional<EFI_INPUT_KEY> ParseKeyName(std::string_view name);
// "F3,F1,Enter": throws SimulationError naming the first unknown key.
std::vector<EFI_INPUT_KEY> ParseKeyList(std::string_view list);
std::string KeyName(const EFI_INPUT_KEY &key);

// Feeds bytes one at a time; a complete key comes out as soon as the bytes
// identify it. A lone ESC stays pending until Flush() (the caller's
// time-out), which then yields the Escape key; an unknown sequence is dropped.
class TerminalKeyDecoder {
public:
  std::optional<EFI_INPUT_KEY> Feed(unsigned char byte);
  std::optional<EFI_INPUT_KEY> Flush();
  bool Pending() const { return !pending_.empty(); }

private:
  std::optional<EFI_INPUT_KEY> Finish();
  std::string pending_;
};

} // namespace sim
