#include "sim/report/Format.h"

#include "sim/core/Text.h"

#include <cstdio>

namespace sim::report {

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty())
      text += ' ';
    text += Printf("%02X", b);
  }
  return text;
}

std::vector<ByteRun> ChangedRuns(std::span<const uint8_t> before, std::span<const uint8_t> after) {
  std::vector<ByteRun> runs;
  const size_t size = std::max(before.size(), after.size());
  for (size_t i = 0; i < size; ++i) {
    int b = i < before.size() ? before[i] : -1, a = i < after.size() ? after[i] : -1;
    if (a == b)
      continue;
    if (runs.empty() || runs.back().Offset + runs.back().Before.size() != i)
      runs.push_back({i, {}, {}});
    runs.back().Before.push_back(b);
    runs.back().After.push_back(a);
  }
  return runs;
}

namespace {
std::string Bytes(const std::vector<int> &bytes) {
  std::string text;
  for (int b : bytes) {
    if (!text.empty())
      text += ' ';
    text += b < 0 ? std::string("--") : Printf("%02X", b);
  }
  return text;
}
} // namespace

std::string VariableChange(const std::string &name,
                           const std::optional<std::vector<uint8_t>> &before,
                           const std::optional<std::vector<uint8_t>> &after) {
  auto whole = [](const std::vector<uint8_t> &v) {
    return v.size() <= kShortValue ? HexBytes(v) : std::to_string(v.size()) + " bytes";
  };
  if (!before && !after)
    return name + " deleted (was absent)";
  if (!after)
    return name + " deleted (was " + whole(*before) + ")";
  if (!before)
    return name + " created " + whole(*after);
  if (*before == *after)
    return name + " rewritten unchanged";
  if (before->size() <= kShortValue && after->size() <= kShortValue)
    return name + " " + HexBytes(*before) + " -> " + HexBytes(*after);
  std::string text;
  for (const ByteRun &r : ChangedRuns(*before, *after)) {
    std::string at = std::to_string(r.Offset);
    if (r.Before.size() > 1)
      at += ".." + std::to_string(r.Offset + r.Before.size() - 1);
    if (!text.empty())
      text += ", ";
    text += name;
    text += "[" + at + "] ";
    text += Bytes(r.Before);
    text += " -> ";
    text += Bytes(r.After);
  }
  return text;
}

} // namespace sim::report
