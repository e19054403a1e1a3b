// The subcommand table. Add one line per command.
#include "tools/platsim/Commands.h"

namespace platsim {

namespace {
const Command kCommands[] = {
    {"boot",
     "boot [--boots N] [--event-log FILE] [--no-acpiexec] [--board FILE] [--state DIR] [--json "
     "FILE] [--fail RULE]...",
     "boot the board with both drivers and report what they did; the TPM device's _STA as "
     "acpiexec evaluates it (when installed) beside QESD",
     RunBoot},
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
     "[--board FILE] [--state DIR] [--json FILE]...\n"
     "  platsim smi raw --input 0xE3|0xE0 [--arg N] --buffer HEX|@FILE [board options]",
     "boot, then send the OS's software-SMI request (0xE3 or 0xE0) and show the reply; raw sends "
     "any command-buffer bytes (--arg N sets the word at offset 4: the command or the percent) "
     "and shows the reply bytes, status bits and ports touched",
     RunSmi},
    {"ppi", "ppi OP [--keys KEY,...] [--owned] [--board FILE] [--state DIR] [--json FILE]",
     "a physical-presence request from the confirmation screen to the recorded result", RunPpi},
    {"calls", "calls [--board FILE] [--state DIR] [--json FILE] [--fail RULE]...",
     "boot once and list every call a --fail rule can fail, with the NAME#N that aims at it",
     RunCalls},
    {"scenario", "scenario FILE [--junit FILE] [--board FILE] [--state DIR] [--json FILE]...",
     "run a story of many steps on one board in one run, with expect lines (docs/scenarios.md); "
     "exit 0 all expects held, 1 an expect failed or a board error, 2 a bad scenario file",
     RunScenario},
    {"firmware", "firmware [--smm | --os] [--images DIR] [--keep DIR]",
     "the driver images on OVMF under QEMU with a TPM 1.2 from swtpm: one line per check; "
     "--smm: ButtonSmm in real SMRAM on the SMM-enabled OVMF, the OS's SMIs answered; "
     "--os then boots Linux and checks the event log and PCRs it reads",
     RunFirmware},
};
} // namespace

std::span<const Command> CommandTable() {
  return kCommands;
}

} // namespace platsim
