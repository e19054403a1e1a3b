// The subcommand table. Add one line per command.
#include "tools/platsim/Commands.h"

namespace platsim {

namespace {
const Command kCommands[] = {
    {"boot", "boot [--boots N] [--board FILE] [--state DIR] [--json FILE] [--fail RULE]...",
     "boot the board with both drivers and report what they did", RunBoot},
};
} // namespace

std::span<const Command> CommandTable() {
  return kCommands;
}

} // namespace platsim
