// The board's console part (board-file section "console"): when ConOut and
// ConIn appear in the system table and when text-input devices are installed,
// the key list, and TextScreenProtocol.
//
//   "console": {
//     "text_screen": "board-protocols",   phase TextScreenProtocol is installed ("none": never)
//     "begin_row": 4,                      cursor row after BeginScreen
//     "keys": "F3",                        keys in the order the firmware reads them
//     "connect": [                         in order; each at its phase
//       {"phase": "console-connect", "action": "con-out"},
//       {"phase": "console-connect", "action": "con-in"},
//       {"phase": "console-connect", "action": "text-input"}
//     ]
//   }
//
// "con-out" sets ConOut (and installs the text-output protocol), "con-in" sets
// ConIn to the console's own input (not installed as a protocol, like a
// console splitter's), "text-input" installs one more keyboard device.
#pragma once
#include "sim/board/Component.h"
#include "sim/console/Console.h"

#include <string>
#include <vector>

namespace sim {

class ConsoleComponent : public Component {
public:
  ConsoleComponent();
  ~ConsoleComponent() override;

  std::string_view Name() const override { return "console"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  Console &Device() { return console_; }

  struct Step {
    std::string Phase;
    std::string Action;
  };
  const std::vector<Step> &Steps() const { return steps_; }

private:
  void Run(Board &board, const std::string &action);

  Console console_;
  std::string textScreenPhase_ = "board-protocols";
  std::vector<Step> steps_;
  size_t keysReadBefore_ = 0;
};

} // namespace sim
