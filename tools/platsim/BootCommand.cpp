// platsim boot: consecutive boots of the board (one by default).
#include "tools/platsim/Commands.h"

#include "sim/acpi/AcpiBoard.h"
#include "sim/tpm/TpmComponent.h"

#include <cstdlib>
#include <fstream>
#include <optional>

namespace platsim {

namespace {
// The last boot's TCG 1.2 event log, as tpm2_eventlog and other tools read it.
void WriteEventLog(sim::Board &board, const std::string &path) {
  auto *tpm = board.Find<sim::tpm::TpmComponent>();
  if (!tpm || !tpm->Tcg())
    throw std::runtime_error("--event-log: the board has no TPM");
  auto binary = tpm->Tcg()->Log().ExportBinaryLog();
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(binary.data()), std::streamsize(binary.size()));
  if (!out)
    throw std::runtime_error("--event-log: cannot write " + path);
}
} // namespace

int RunBoot(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  unsigned boots = 1;
  std::optional<std::string> eventLog;
  bool interpreter = true;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--boots" && i + 1 < rest.size()) {
      char *end = nullptr;
      unsigned long n = std::strtoul(rest[i + 1].c_str(), &end, 10);
      if (rest[i + 1].empty() || *end != '\0' || n == 0 || n > 100)
        throw UsageError("--boots takes a number from 1 to 100");
      boots = unsigned(n);
      ++i;
    } else if (rest[i] == "--no-acpiexec") {
      interpreter = false;
    } else if (rest[i] == "--event-log" && i + 1 < rest.size()) {
      eventLog = rest[++i];
    } else {
      throw UsageError("unknown argument \"" + rest[i] + "\"");
    }
  }
  Session session(options);
  // The report shows what an OS's ACPI interpreter reads from the DSDT.
  if (auto *acpi = session.Board().Find<sim::AcpiBoard>())
    acpi->SetInterpreterEvaluation(interpreter);
  for (unsigned i = 0; i < boots; ++i)
    session.Board().Boot();
  if (eventLog)
    WriteEventLog(session.Board(), *eventLog);
  return session.Finish();
}

} // namespace platsim
