#include "sim/board/BootSequence.h"

#include "sim/board/Board.h"
#include "sim/core/Errors.h"

#include <algorithm>

namespace sim {

namespace {
// The phases in their default order. Add a phase with one line.
constexpr PhaseInfo kBootPhases[] = {
    {"power-on", "devices take their power-on state"},
    {"early", "the earlier boot phase: TPM_Startup, a recorded PPI operation, its HOBs"},
    {"dxe-ready", "boot and runtime services exist; the HOB lists are published"},
    {"board-protocols", "platform components install their protocols"},
    {"load-tpm-platform", "TpmPlatformDxe's entry point runs"},
    {"tcg-core", "the platform's TCG core calls the hooks"},
    {"load-button-smm", "ButtonSmm's entry point runs and has itself loaded into SMRAM"},
    {"pci-enumeration", "the PCI devices get their PCI I/O protocols"},
    {"console-connect", "console input and output are installed"},
    {"ready-to-boot", "the boot manager signals ready-to-boot and tries the boot options"},
    {"exit-boot-services", "the operating system loader ends boot services"},
    {"os-runtime", "the operating system runs: SMIs, button presses"},
};
} // namespace

std::span<const PhaseInfo> BootPhases() {
  return kBootPhases;
}

BootSequence::BootSequence() {
  for (const auto &p : kBootPhases)
    order_.emplace_back(p.Name);
}

static bool Known(std::string_view phase) {
  return std::any_of(std::begin(kBootPhases), std::end(kBootPhases),
                     [&](const PhaseInfo &p) { return p.Name == phase; });
}

void BootSequence::Attach(std::string_view phase, std::string owner, Action action) {
  if (!Known(phase))
    throw SimulationError(owner + " attaches to an unknown boot phase \"" + std::string(phase) +
                          "\"");
  actions_.push_back({std::string(phase), std::move(owner), std::move(action)});
}

void BootSequence::SetOrder(std::vector<std::string> order) {
  for (size_t i = 0; i < order.size(); ++i) {
    if (!Known(order[i]))
      throw SimulationError("unknown boot phase \"" + order[i] + "\"");
    if (std::find(order.begin(), order.begin() + i, order[i]) != order.begin() + i)
      throw SimulationError("boot phase \"" + order[i] + "\" is listed twice");
  }
  order_ = std::move(order);
}

bool BootSequence::Runs(std::string_view phase) const {
  return std::find(order_.begin(), order_.end(), phase) != order_.end();
}

void BootSequence::Run(Board &board) {
  ran_.clear();
  for (const auto &phase : order_) {
    current_ = phase;
    ran_.push_back(phase);
    board.EnterPhase(phase);
    // By index: an action may attach further actions (to later phases).
    for (size_t i = 0; i < actions_.size(); ++i)
      if (actions_[i].Phase == phase) {
        Action run = actions_[i].Run;
        run(board);
      }
  }
  current_.clear();
}

} // namespace sim
