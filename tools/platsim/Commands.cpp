// The subcommand table. Add one line per command.
#include "tools/platsim/Commands.h"

namespace platsim {

namespace {
const Command kCommands[] = {
    {"boot",
     "boot [--boots N] [--event-log FILE] [--board FILE] [--state DIR] [--json FILE] [--fail "
     "RULE]...",
     "boot the board with both drivers and report what they did", RunBoot},
    {"s3", "s3 [--cycles N] [--board FILE] [--state DIR] [--json FILE] [--fail RULE]...",
     "boot, then suspend to S3 and resume: the boot script brings the devices back", RunS3},
    {"power-button", "power-button [--board FILE] [--state DIR] [--json FILE] [--fail RULE]...",
     "boot, then press the power button (GPI 1): ButtonSmm switches the machine off",
     RunPowerButton},
    {"press", "press BUTTON [--hold N] [--legacy] [--board FILE] [--state DIR] [--json FILE]...",
     "boot, then press, hold and release a hot-key button: key codes reaching the keyboard "
     "stream, brightness",
     RunPress},
    {"smi",
     "smi button-info|set-button|enable-button|restore-button|action-mode|brightness ... "
     "[--board FILE] [--state DIR] [--json FILE]...",
     "boot, then send the OS's software-SMI request (0xE3 or 0xE0) and show the reply", RunSmi},
    {"ppi", "ppi OP [--keys KEY,...] [--owned] [--board FILE] [--state DIR] [--json FILE]",
     "a physical-presence request from the confirmation screen to the recorded result", RunPpi},
    {"calls", "calls [--board FILE] [--state DIR] [--json FILE] [--fail RULE]...",
     "boot once and list every call a --fail rule can fail, with the NAME#N that aims at it",
     RunCalls},
    {"firmware", "firmware [--images DIR] [--keep DIR]",
     "the driver images on OVMF under QEMU with a TPM 1.2 from swtpm: one line per check",
     RunFirmware},
};
} // namespace

std::span<const Command> CommandTable() {
  return kCommands;
}

} // namespace platsim
