// The real keyboard and display when platsim runs in a terminal. RawTerminal
// switches the terminal to raw input for its lifetime; the previous mode comes
// back when it is destroyed (normal exit or exception) and also when the
// process is ended by a signal while it lives.
#pragma once
#include "Uefi/SimpleText.h"
#include "sim/console/Keys.h"
#include "sim/core/Errors.h"

#include <termios.h>

#include <string>
#include <vector>

namespace sim {

// Ctrl-C at the keyboard while the board waits for a key.
class UserInterrupt : public SimulationError {
public:
  UserInterrupt() : SimulationError("interrupted at the keyboard") {}
};

class RawTerminal {
public:
  // Throws SimulationError when the descriptors are not terminals.
  RawTerminal(int inputFd, int outputFd);
  ~RawTerminal();
  RawTerminal(const RawTerminal &) = delete;
  RawTerminal &operator=(const RawTerminal &) = delete;

  static bool Available(int inputFd, int outputFd);

  // Blocks for the next key. Ctrl-C throws UserInterrupt.
  EFI_INPUT_KEY ReadKey();
  // Replaces what the terminal shows with these rows under a title line.
  void Draw(const std::string &title, const std::vector<std::string> &rows);

private:
  int in_;
  int out_;
  TerminalKeyDecoder decoder_;
};

} // namespace sim
