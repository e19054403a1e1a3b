// What ends a run or a boot. Errors (SimulationError and below) end the run
// and leave the state directory untouched; the control-flow signals
// (ResetRequested, ProcessorHalted, BoardHung) end one boot and are not errors,
// so they deliberately do not derive from std::exception: a component's
// catch (const std::exception &) must not swallow a reset.
#pragma once
#include "Uefi/UefiSpec.h"

#include <stdexcept>
#include <string>

namespace sim {

// A fault of the simulation or of its input: the run fails.
class SimulationError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An input the run cannot use (a state file, an input file): names the file
// and what is wrong with it.
class InputError : public SimulationError {
public:
  using SimulationError::SimulationError;
};

// A board file that cannot be used. what() is "FILE: PATH: REASON".
class BoardConfigError : public InputError {
public:
  BoardConfigError(std::string file, std::string path, std::string reason)
      : InputError(file + ": " + (path.empty() ? std::string("(document)") : path) + ": " + reason),
        file_(std::move(file)), path_(std::move(path)), reason_(std::move(reason)) {}
  const std::string &File() const { return file_; }
  const std::string &Path() const { return path_; }
  const std::string &Reason() const { return reason_; }

private:
  std::string file_, path_, reason_;
};

// Thrown by ResetSystem: unwinds out of the driver and ends the current boot.
struct ResetRequested {
  EFI_RESET_TYPE Type;
  EFI_STATUS Status;
};

// Thrown by CpuHaltForever: the processor stopped for good.
struct ProcessorHalted {
  std::string Context;
};

// The boot waits for something that can never happen (no key left, no timer).
struct BoardHung {
  std::string Reason;
};

} // namespace sim
