// platsim: runs the drivers on a simulated laptop board.
#include "sim/core/Errors.h"
#include "sim/core/StateStore.h"
#include "tools/platsim/Commands.h"

#include <iostream>

#ifndef PLATSIM_VERSION
#define PLATSIM_VERSION "0.0"
#endif

namespace {

void PrintHelp(std::ostream &out) {
  out << "usage: platsim COMMAND [OPTIONS]\n"
         "       platsim --help | --version\n\n"
         "Runs TpmPlatformDxe and ButtonSmm on a simulated laptop board.\n"
         "Without --state every run is the first boot of a new board; with --state DIR,\n"
         "consecutive runs are consecutive boots of the same board.\n\n"
         "Commands:\n";
  for (const auto &c : platsim::CommandTable())
    out << "  " << c.Usage << "\n      " << c.Summary << "\n";
  out << "\nOptions of every board command:\n"
         "  --board FILE    board file (default: the built-in reference board)\n"
         "  --state DIR     state directory: variables, CMOS, TPM across boots; one run\n"
         "                  at a time, and a run that fails leaves it as it was\n"
         "  --json FILE     write the report as JSON\n"
         "  --fail RULE     fail a service call: SERVICE[:NAME][#N]=STATUS, e.g.\n"
         "                  SetVariable:Setup#2=EFI_DEVICE_ERROR (repeatable; platsim calls\n"
         "                  lists the calls and their #N); AllocatePool#N=NULL succeeds\n"
         "                  with a NULL buffer\n"
         "  -v, -vv         more detail: -v adds the event-log records, protocol changes,\n"
         "                  port counts and hook calls; -vv the traces (start-up writes,\n"
         "                  boot script, port trace, TPM exchanges, whole variable values)\n"
         "  -q              print only the verdict line\n"
         "  --section NAME  print only this report section, in full (repeatable);\n"
         "                  docs/report.md lists the sections and their JSON fields\n"
         "The report starts with the verdict line. Colour only on a terminal, never with\n"
         "NO_COLOR set.\n"
         "Options take their value as --opt VALUE or --opt=VALUE; -- ends the options.\n"
         "Numbers are decimal or 0x hex.\n\n"
         "Exit status:\n"
         "  0  the story ran and nothing was wrong\n"
         "  1  the board or a driver reported an error, or a boot waited for something\n"
         "     that never came (scenario: an expect failed)\n"
         "  2  usage or input error (command line, board file, state files, scenario file)\n"
         "  3  a fault rule failed no call\n"
         "  4  another run holds the state directory\n"
         "  5  an output file or the state directory could not be written\n";
}

void PrintUsage(const platsim::Command &command) {
  std::cerr << "usage: platsim " << command.Usage << "\n";
}

} // namespace

int main(int argc, char **argv) {
  using namespace platsim;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(std::cerr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::cout << "platsim " << PLATSIM_VERSION << "\n";
    return kExitOk;
  }
  const Command *command = nullptr;
  for (const auto &c : CommandTable())
    if (c.Name == args[0])
      command = &c;
  if (command == nullptr) {
    std::cerr << "platsim: unknown command \"" << args[0] << "\" (see platsim --help)\n"
              << "usage: platsim COMMAND [OPTIONS]\n";
    return kExitUsage;
  }
  try {
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto &a : rest) {
      if (a == "--")
        break;
      if (a == "--help" || a == "-h") {
        std::cout << "usage: platsim " << command->Usage << "\n" << command->Summary << "\n";
        return kExitOk;
      }
    }
    return command->Run(rest);
  } catch (const UsageError &e) {
    std::cerr << "platsim " << command->Name << ": " << e.what() << "\n";
    PrintUsage(*command);
    return kExitUsage;
  } catch (const sim::BoardConfigError &e) {
    std::cerr << "platsim: board file error: " << e.what() << "\n";
    return kExitUsage;
  } catch (const sim::InputError &e) {
    std::cerr << "platsim: input error: " << e.what() << "\n";
    return kExitUsage;
  } catch (const sim::StateLocked &e) {
    std::cerr << "platsim: " << e.what() << "\n";
    return kExitBusy;
  } catch (const OutputError &e) {
    std::cerr << "platsim: " << e.what() << "\n";
    return kExitOutput;
  } catch (const std::exception &e) {
    std::cerr << "platsim: error: " << e.what() << "\n";
    return kExitBoardError;
  } catch (...) {
    std::cerr << "platsim: error: a reset or halt outside any boot\n";
    return kExitBoardError;
  }
}
