// platsim s3 and platsim power-button: a boot, then the board action.
#include "sim/core/Errors.h"
#include "sim/devices/ChipsetComponent.h"
#include "tools/platsim/Commands.h"

#include <cstdlib>

namespace platsim {

namespace {

sim::ChipsetComponent &ChipsetOf(sim::Board &board) {
  return PartOf<sim::ChipsetComponent>(board, "chipset component");
}

unsigned CountOption(std::vector<std::string> &rest, const std::string &name) {
  unsigned count = 1;
  for (size_t i = 0; i < rest.size(); i += 2) {
    if (rest[i] != name || i + 1 >= rest.size())
      throw UsageError("unknown argument \"" + rest[i] + "\"");
    char *end = nullptr;
    unsigned long n = std::strtoul(rest[i + 1].c_str(), &end, 10);
    if (rest[i + 1].empty() || *end != '\0' || n == 0 || n > 100)
      throw UsageError(name + " takes a number from 1 to 100");
    count = unsigned(n);
  }
  return count;
}

} // namespace

int RunS3(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  unsigned cycles = CountOption(rest, "--cycles");
  Session session(options);
  sim::Board &board = session.Board();
  board.PowerOn();
  board.Run([cycles](sim::Board &b) {
    b.Sequence().Run(b);
    for (unsigned i = 0; i < cycles; ++i)
      ChipsetOf(b).SuspendResume();
  });
  return session.Finish();
}

int RunPowerButton(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  if (!rest.empty())
    throw UsageError("unknown argument \"" + rest[0] + "\"");
  Session session(options);
  sim::Board &board = session.Board();
  board.PowerOn();
  board.Run([](sim::Board &b) {
    b.Sequence().Run(b);
    ChipsetOf(b).RaiseGpi(1);
  });
  return session.Finish();
}

} // namespace platsim
