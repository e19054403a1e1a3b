// The boot sequence: an ordered list of named phases. The board and the
// components attach actions to phases; within a phase the actions run in the
// order they were attached (the component table's order). The board file may
// reorder phases or leave some out ("boot.phases") where the platform's timing
// varies (when the TCG core calls the hooks relative to PCI enumeration and
// console connection, for instance).
//
// To add a phase, add one line to kBootPhases in BootSequence.cpp.
#pragma once
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class Board;

struct PhaseInfo {
  std::string_view Name;
  std::string_view Summary;
};

// The phases in their default order.
std::span<const PhaseInfo> BootPhases();

class BootSequence {
public:
  using Action = std::function<void(Board &)>;

  BootSequence();

  // Throws SimulationError for an unknown phase.
  void Attach(std::string_view phase, std::string owner, Action action);
  // A permutation or subset of the known phases; throws SimulationError for
  // an unknown or repeated name.
  void SetOrder(std::vector<std::string> order);
  const std::vector<std::string> &Order() const { return order_; }
  bool Runs(std::string_view phase) const;

  // Runs the phases in order. Unwinds with whatever an action throws.
  void Run(Board &board);
  const std::string &CurrentPhase() const { return current_; }
  // Phases that ran in this boot (the last one may not have finished).
  const std::vector<std::string> &Ran() const { return ran_; }

private:
  struct Attached {
    std::string Phase;
    std::string Owner;
    Action Run;
  };
  std::vector<Attached> actions_;
  std::vector<std::string> order_;
  std::string current_;
  std::vector<std::string> ran_;
};

} // namespace sim
