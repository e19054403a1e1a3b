// The state directory: what one simulated laptop keeps across power cycles
// (NV variables, CMOS, TPM state, ...). A run reads it once and commits it once
// when the run completes; until then writes are only staged, so a failed run
// leaves the directory as it was. Each file is written to a temporary name
// first and renamed over the old one only after every file has been written.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class StateStore {
public:
  explicit StateStore(std::filesystem::path directory);

  const std::filesystem::path &Directory() const { return directory_; }
  // The committed file, or the staged one when this run staged it already.
  std::optional<std::vector<uint8_t>> Load(const std::string &name) const;
  void Stage(const std::string &name, std::vector<uint8_t> bytes);
  bool HasStaged() const { return !staged_.empty(); }
  // Writes every staged file; throws SimulationError on failure.
  void Commit();

  static constexpr const char *kTempSuffix = ".tmp";

private:
  static void CheckName(const std::string &name);
  std::filesystem::path directory_;
  std::map<std::string, std::vector<uint8_t>> staged_;
};

} // namespace sim
