// platsim ppi: one physical-presence request from the operating system's
// request to the result recorded after the operation was carried out:
// boot 1 shows the confirmation screen and reads the keys (from --keys, the
// board file, or the real keyboard when platsim runs in a terminal), the
// board resets, boot 2's earlier phase carries the operation out on the TPM
// and the driver records the result. The story (each boot's screen, the driver's
// variables, the TPM flags before and after) leads the report.
#include "Platform/TpmPlatformVariables.h"
#include "sim/console/ConsoleComponent.h"
#include "sim/console/Terminal.h"
#include "sim/core/Text.h"
#include "sim/platform/TpmPlatformState.h"
#include "sim/ppi/PpiBoardComponent.h"
#include "sim/tpm/TpmComponent.h"
#include "tools/platsim/Commands.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace platsim {

namespace {

constexpr unsigned kMaxBoots = 4;

struct TpmFlags {
  bool Present = false;
  std::string Text;
};

TpmFlags ReadFlags(sim::Board &board) {
  auto *tpm = board.Find<sim::tpm::TpmComponent>();
  if (tpm == nullptr || !tpm->Present())
    return {false, "no TPM"};
  try {
    auto &chip = tpm->Chip();
    auto flags = chip.ReadPermanentFlags();
    std::string text = std::string(flags.Disable ? "disabled" : "enabled") + ", " +
                       (flags.Deactivated ? "deactivated" : "activated") + ", " +
                       (chip.Owned() ? "owned" : "unowned") + ", owner install " +
                       (flags.Ownership ? "allowed" : "not allowed");
    return {true, text};
  } catch (const std::exception &e) {
    return {true, std::string("unreadable: ") + e.what()};
  }
}

constexpr OptionRow kPpiOptions[] = {{"--keys", "KEY,..."}, {"--owned", ""}};

} // namespace

int RunPpi(Args args) {
  BoardOptions options;
  ParsedArgs parsed = ParseBoardOptions(args, kPpiOptions, options);
  std::optional<std::string> keys = parsed.Value("--keys");
  bool owned = parsed.Has("--owned");
  if (parsed.Positionals().empty())
    throw UsageError("OP is missing");
  if (parsed.Positionals().size() > 1)
    throw UsageError("unexpected argument \"" + parsed.Positionals()[1] + "\"");
  std::optional<unsigned> operation = unsigned(ParseNumber("OP", parsed.Positionals()[0], 0, 255));

  Session session(options);
  sim::Board &board = session.Board();
  auto *state = board.Find<sim::TpmPlatformStateComponent>();
  auto *console = board.Find<sim::ConsoleComponent>();
  if (state == nullptr || console == nullptr)
    throw sim::SimulationError("the board has no TPM platform state or no console");
  // A fresh board starts from the request: a hand-over some earlier boot of
  // the board file left behind is dropped.
  if (!options.StateDir)
    board.Cmos().Set(kCmosPpiFlagRegister, 0);
  auto &record = state->Record();
  record[0] = 1;
  record[2] = 1;
  record[18] = uint8_t(*operation);

  std::unique_ptr<sim::RawTerminal> terminal;
  if (keys)
    console->Device().SetKeys(sim::ParseKeyList(*keys));
  else if (sim::RawTerminal::Available(STDIN_FILENO, STDOUT_FILENO))
    terminal = std::make_unique<sim::RawTerminal>(STDIN_FILENO, STDOUT_FILENO);
  console->Device().AttachTerminal(terminal.get());

  // The TPM as each boot's earlier phase leaves it.
  std::vector<TpmFlags> flags;
  board.Sequence().Attach("early", "platsim ppi", [&](sim::Board &b) {
    if (owned && b.BootIndex() == 1)
      if (auto *tpm = b.Find<sim::tpm::TpmComponent>();
          tpm && tpm->Present() && !tpm->Chip().Owned())
        tpm->Chip().TakeOwnership(sim::tpm::Tpm12::kOwnerSecret, sim::tpm::Tpm12::kSrkSecret);
    flags.push_back(ReadFlags(b));
  });

  nlohmann::json &story = board.Reports().Story("ppi");
  story = {{"operation", *operation}, {"boots", nlohmann::json::array()}};
  auto variable = [&](const CHAR16 *name, const EFI_GUID &guid) {
    const auto *v = board.Variables().Find(name, guid);
    return v ? nlohmann::json(sim::ToHex(v->Data)) : nlohmann::json();
  };
  for (unsigned n = 1; n <= kMaxBoots; ++n) {
    sim::BootResult result = board.Boot();
    if (n == 1)
      record[18] = 0; // the operating system's request is used up
    if (terminal) {
      // Back to normal output for the story; a later boot may need keys again.
      terminal.reset();
      console->Device().AttachTerminal(nullptr);
    }
    nlohmann::json boot = {{"boot", n}, {"outcome", sim::OutcomeName(result.Outcome)}};
    if (result.Outcome != sim::BootOutcome::Completed && !result.Phase.empty())
      boot["phase"] = result.Phase;
    auto &device = console->Device();
    if (device.ScreenBegun() != 0)
      boot["screen"] = device.Screen().UsedRows();
    if (auto *ppi = board.Find<sim::PpiBoardComponent>(); ppi && ppi->LastExecution()) {
      const auto &e = *ppi->LastExecution();
      boot["earlier_phase"] = {
          {"operation", e.Operation}, {"succeeded", e.Succeeded}, {"commands", e.Result.Commands}};
    }
    boot["ZELTCGPPIVAR"] = variable(kPpiRequestVariableName, gPpiRequestVariableGuid);
    boot["TCG"] = variable(kTcgStateVariableName, gTcgStateVariableGuid);
    boot["cmos_6f"] = board.Cmos().Get(kCmosPpiFlagRegister);
    story["boots"].push_back(boot);
    if (result.Outcome != sim::BootOutcome::Reset)
      break;
  }
  if (!flags.empty()) {
    story["tpm_before"] = flags.front().Text;
    story["tpm_after"] = flags.back().Text;
  }
  return session.Finish();
}

} // namespace platsim
