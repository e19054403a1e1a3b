// The state directory: what one simulated laptop keeps across power cycles
// (NV variables, CMOS, TPM state, ...). A run reads it once and commits it once
// when the run completes; until then writes are only staged, so a failed run
// leaves the directory as it was.
//
// All or nothing: the committed files live in a generation folder
// ("gen-N"), named by the symbolic link "current". A commit writes the whole
// next generation beside the old one and switches "current" with one rename,
// so a run killed at any moment leaves exactly the old or exactly the new
// state. Leftovers of an interrupted commit are removed when the directory is
// next opened. Directories written before generations existed (the files
// directly in the directory) are read as generation 0.
//
// One run at a time: the store holds an exclusive lock on the directory from
// construction to destruction; a second store on the same directory fails at
// once with StateLocked, naming the directory and the holder's pid.
#pragma once
#include "sim/core/Errors.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Another run holds the state directory.
class StateLocked : public SimulationError {
public:
  using SimulationError::SimulationError;
};

class StateStore {
public:
  // Creates the directory when missing (and removes it again when the run
  // commits nothing), locks it and cleans leftovers of interrupted commits.
  explicit StateStore(std::filesystem::path directory);
  ~StateStore();
  StateStore(const StateStore &) = delete;
  StateStore &operator=(const StateStore &) = delete;

  const std::filesystem::path &Directory() const { return directory_; }
  // The folder holding the committed files (the directory itself for a
  // directory of the older flat layout or a new one).
  std::filesystem::path CommittedFolder() const;
  // The committed file, or the staged one when this run staged it already.
  std::optional<std::vector<uint8_t>> Load(const std::string &name) const;
  void Stage(const std::string &name, std::vector<uint8_t> bytes);
  bool HasStaged() const { return !staged_.empty(); }
  // Writes the next generation and switches to it; throws SimulationError on
  // failure, leaving the committed state as it was.
  void Commit();

  // Called with a short name before every file operation of a commit
  // ("write variables.json", "switch", ...): tests stop a commit at each.
  using StepHook = std::function<void(const std::string &step)>;
  void SetStepHook(StepHook hook) { hook_ = std::move(hook); }

  static constexpr const char *kCurrentLink = "current";

private:
  static void CheckName(const std::string &name);
  void Lock();
  void CleanLeftovers();
  void Step(const std::string &step);
  std::vector<std::string> CommittedNames() const;

  std::filesystem::path directory_;
  std::map<std::string, std::vector<uint8_t>> staged_;
  StepHook hook_;
  int lockFd_ = -1;
  bool created_ = false;
  bool committed_ = false;
  unsigned generation_ = 0; // 0: no generation folder yet
};

} // namespace sim
