// platsim boot: consecutive boots of the board (one by default).
#include "tools/platsim/Commands.h"

#include "sim/acpi/AcpiBoard.h"
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

constexpr OptionRow kBootOptions[] = {
    {"--boots", "N"}, {"--event-log", "FILE"}, {"--no-acpiexec", ""}};
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
  // The report shows what an OS's ACPI interpreter reads from the DSDT.
  if (auto *acpi = session.Board().Find<sim::AcpiBoard>())
    acpi->SetInterpreterEvaluation(!parsed.Has("--no-acpiexec"));
  for (unsigned i = 0; i < boots; ++i)
    session.Board().Boot();
  return session.Finish();
}

} // namespace platsim
