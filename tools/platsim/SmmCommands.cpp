// platsim s3 and platsim power-button: a boot, then the board action.
#include "sim/core/Errors.h"
#include "sim/devices/ChipsetComponent.h"
#include "tools/platsim/Commands.h"

namespace platsim {

namespace {

sim::ChipsetComponent &ChipsetOf(sim::Board &board) {
  return PartOf<sim::ChipsetComponent>(board, "chipset component");
}

constexpr OptionRow kS3Options[] = {{"--cycles", "N"}};

} // namespace

int RunS3(Args args) {
  BoardOptions options;
  ParsedArgs parsed = ParseBoardOptions(args, kS3Options, options);
  if (!parsed.Positionals().empty())
    throw UsageError("unexpected argument \"" + parsed.Positionals().front() + "\"");
  unsigned cycles = unsigned(parsed.Number("--cycles", 1, 1, 100));
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
  ParseOnlyBoardOptions(args, options);
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
