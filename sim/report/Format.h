// The report's formatters, one of each: hex numbers and byte strings, GUIDs
// (sim/core/Guid.h), status names (sim/core/Status.h, on the driver
// library's names) and variable diffs. Every section view uses these.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim::report {

// "0A 1B 2C": bytes as people read them in dumps and expect lines.
std::string HexBytes(std::span<const uint8_t> bytes);

// A run of neighbouring bytes that differ between two values of a variable.
struct ByteRun {
  size_t Offset = 0;
  std::vector<int> Before; // -1: the byte is not there (the value grew)
  std::vector<int> After;  // -1: the byte is gone (the value shrank)
};
std::vector<ByteRun> ChangedRuns(std::span<const uint8_t> before, std::span<const uint8_t> after);

// Values at most this long are shown whole in a variable change.
inline constexpr size_t kShortValue = 8;

// One line for a variable's change over a boot: "Setup[32] 00 -> 01,
// Setup[34] 01 -> 00"; a short value whole ("TCG 00 01 -> 01 00"); "created",
// "deleted", "rewritten unchanged". A missing value is std::nullopt.
std::string VariableChange(const std::string &name,
                           const std::optional<std::vector<uint8_t>> &before,
                           const std::optional<std::vector<uint8_t>> &after);

} // namespace sim::report
