// A part of the simulated board (TPM, console, ACPI, SMM, EC, ...). It owns
// the board-file section named after it, keeps its own persistent state in the
// state directory, registers devices at every power-on and attaches actions to
// named phases of the boot sequence (BootSequence.h). Add a new component to
// the factory table in Components.cpp.
#pragma once
#include "sim/board/BoardConfig.h"

#include <string_view>

namespace sim {

class Board;
class BootReport;
class BootSequence;
class StateStore;
struct BootResult;

class Component {
public:
  virtual ~Component() = default;

  // The top-level key of the board file this component reads.
  virtual std::string_view Name() const = 0;
  // Once, when the board is built. Read every key you accept: keys nobody
  // read are errors afterwards.
  virtual void Configure(ConfigSection &section) { (void)section; }
  // Once, when the board is built: actions at named phases.
  virtual void AttachPhases(BootSequence &sequence) { (void)sequence; }
  // Once per run, before the first boot: the persistent state of earlier runs.
  virtual void LoadState(const StateStore &state) { (void)state; }
  // Once per run, when every boot completed: stage what must persist.
  virtual void SaveState(StateStore &state) { (void)state; }
  // Every boot, before the first phase: devices in their power-on state (claim
  // ports and memory regions here; the previous boot's are gone).
  virtual void PowerOn(Board &board) { (void)board; }
  // Every boot, after the last phase run (also when the boot ended early).
  virtual void EndBoot(Board &board, const BootResult &result) {
    (void)board;
    (void)result;
  }
  // Every boot, after EndBoot: add your sections to the report.
  virtual void Report(Board &board, BootReport &report) {
    (void)board;
    (void)report;
  }
};

} // namespace sim
