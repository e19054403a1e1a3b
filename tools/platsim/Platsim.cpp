// platsim: runs the drivers on a simulated laptop board.
#include "sim/core/Errors.h"
#include "tools/platsim/Commands.h"

#include <iostream>

namespace {

void PrintHelp(std::ostream &out) {
  out << "usage: platsim COMMAND [OPTIONS]\n\n"
         "Runs TpmPlatformDxe and ButtonSmm on a simulated laptop board.\n"
         "Without --state every run is the first boot of a new board; with --state DIR,\n"
         "consecutive runs are consecutive boots of the same board.\n\n"
         "Commands:\n";
  for (const auto &c : platsim::CommandTable())
    out << "  " << c.Usage << "\n      " << c.Summary << "\n";
  out << "\nOptions of every board command:\n"
         "  --board FILE    board file (default: the built-in reference board)\n"
         "  --state DIR     state directory: variables, CMOS, TPM across boots\n"
         "  --json FILE     write the report as JSON\n"
         "  --fail RULE     fail a service call: SERVICE[#N]=STATUS, e.g.\n"
         "                  SetVariable:Setup#2=EFI_DEVICE_ERROR (repeatable)\n"
         "  -v, -vv         more detail: -v adds the event-log records, protocol changes,\n"
         "                  port counts and hook calls; -vv the traces (start-up writes,\n"
         "                  boot script, port trace, TPM exchanges, whole variable values)\n"
         "  -q              print only the verdict line\n"
         "  --section NAME  print only this report section, in full (repeatable);\n"
         "                  docs/report.md lists the sections and their JSON fields\n"
         "The report starts with the verdict line. Colour only on a terminal, never with\n"
         "NO_COLOR set. Exit status: 0 ran clean, 1 board or driver error, 2 usage or input.\n";
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(std::cerr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  const platsim::Command *command = nullptr;
  for (const auto &c : platsim::CommandTable())
    if (c.Name == args[0])
      command = &c;
  if (command == nullptr) {
    std::cerr << "platsim: unknown command \"" << args[0] << "\" (see platsim --help)\n";
    return 2;
  }
  try {
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto &a : rest)
      if (a == "--help" || a == "-h") {
        std::cout << "usage: platsim " << command->Usage << "\n" << command->Summary << "\n";
        return 0;
      }
    return command->Run(rest);
  } catch (const platsim::UsageError &e) {
    std::cerr << "platsim " << command->Name << ": " << e.what() << "\nusage: platsim "
              << command->Usage << "\n";
    return 2;
  } catch (const sim::BoardConfigError &e) {
    std::cerr << "platsim: board file error: " << e.what() << "\n";
    return 2;
  } catch (const std::exception &e) {
    std::cerr << "platsim: error: " << e.what() << "\n";
    return 1;
  } catch (...) {
    std::cerr << "platsim: error: a reset or halt outside any boot\n";
    return 1;
  }
}
