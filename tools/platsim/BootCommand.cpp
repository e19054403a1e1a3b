// platsim boot: consecutive boots of the board (one by default).
#include "tools/platsim/Commands.h"

#include "sim/core/Errors.h"
#include "sim/tpm/TpmComponent.h"

namespace platsim {

namespace {
// The last boot's TCG 1.2 event log, as tpm2_eventlog and other tools read it.
std::string EventLog(sim::Board &board) {
  auto *tpm = board.Find<sim::tpm::TpmComponent>();
  if (!tpm || !tpm->Tcg())
    throw sim::SimulationError("--event-log: the board has no TPM");
  auto binary = tpm->Tcg()->Log().ExportBinaryLog();
  return {binary.begin(), binary.end()};
}

constexpr OptionSpec kBootOptions[] = {{"--boots", "N"}, {"--event-log", "FILE"}};
} // namespace

int RunBoot(Args args) {
  BoardOptions options;
  ParsedArgs parsed = ParseBoardOptions(args, kBootOptions, options);
  if (!parsed.Positionals().empty())
    throw UsageError("unexpected argument \"" + parsed.Positionals().front() + "\"");
  unsigned boots = unsigned(parsed.Number("--boots", 1, 1, 100));
  Session session(options);
  if (auto path = parsed.Value("--event-log"))
    session.AddOutput(*path, [&session] { return EventLog(session.Board()); });
  for (unsigned i = 0; i < boots; ++i)
    session.Board().Boot();
  return session.Finish();
}

} // namespace platsim
