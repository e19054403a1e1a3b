#include "tools/platsim/Options.h"
#include "sim/core/Text.h"

namespace platsim {

namespace {
const std::vector<std::string> kNone;

const OptionRow *Find(std::span<const std::span<const OptionRow>> tables, std::string_view name) {
  for (auto table : tables)
    for (const OptionRow &row : table)
      if (row.Name == name)
        return &row;
  return nullptr;
}
} // namespace

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
  auto it = values_.find(std::string(name));
  if (it == values_.end() || it->second.empty())
    return std::nullopt;
  return it->second.back();
}

const std::vector<std::string> &ParsedArgs::Values(std::string_view name) const {
  auto it = values_.find(std::string(name));
  return it == values_.end() ? kNone : it->second;
}

uint64_t ParsedArgs::Number(std::string_view name, uint64_t fallback, uint64_t min,
                            uint64_t max) const {
  auto text = Value(name);
  return text ? ParseNumber(name, *text, min, max) : fallback;
}

ParsedArgs ParseArgs(Args args, std::span<const std::span<const OptionRow>> tables) {
  ParsedArgs out;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.positionals_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = a;
    std::optional<std::string> value;
    if (auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    }
    const OptionRow *row = Find(tables, name);
    if (row == nullptr)
      throw UsageError("unknown option \"" + name + "\"");
    if (row->Value.empty()) {
      if (value)
        throw UsageError(name + " takes no value");
      value = "";
    } else if (!value) {
      // "--board --state DIR": an option is no value; write --board=--x for one.
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
        throw UsageError(name + " needs a value (" + std::string(row->Value) + ")");
      value = args[++i];
    }
    auto &slot = out.values_[name];
    if (!slot.empty() && !row->Repeatable)
      throw UsageError(name + " is given twice");
    slot.push_back(*value);
  }
  return out;
}

uint64_t ParseNumber(std::string_view what, std::string_view text, uint64_t min, uint64_t max) {
  auto fail = [&]() -> UsageError {
    return UsageError(std::string(what) + " takes a number from " + std::to_string(min) + " to " +
                      std::to_string(max) + " (decimal or 0x hex), not \"" + std::string(text) +
                      "\"");
  };
  // Decimal or 0x hex only: a leading 0 never makes a number octal.
  std::optional<uint64_t> value = sim::ParseUnsigned(text);
  if (!value || *value < min || *value > max)
    throw fail();
  return *value;
}

} // namespace platsim
