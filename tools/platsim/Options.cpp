#include "tools/platsim/Options.h"

namespace platsim {

namespace {
const std::vector<std::string> kNone;

const OptionSpec *Find(std::span<const std::span<const OptionSpec>> tables, std::string_view name) {
  for (auto table : tables)
    for (const OptionSpec &spec : table)
      if (spec.Name == name)
        return &spec;
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

ParsedArgs ParseArgs(Args args, std::span<const std::span<const OptionSpec>> tables) {
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
    const OptionSpec *spec = Find(tables, name);
    if (spec == nullptr)
      throw UsageError("unknown option \"" + name + "\"");
    if (spec->Value.empty()) {
      if (value)
        throw UsageError(name + " takes no value");
      value = "";
    } else if (!value) {
      // "--board --state DIR": an option is no value; write --board=--x for one.
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
        throw UsageError(name + " needs a value (" + std::string(spec->Value) + ")");
      value = args[++i];
    }
    auto &slot = out.values_[name];
    if (!slot.empty() && !spec->Repeatable)
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
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.size() > 20)
    throw fail();
  uint64_t value = 0;
  for (char c : digits) {
    unsigned d;
    if (c >= '0' && c <= '9')
      d = unsigned(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = unsigned(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = unsigned(c - 'A' + 10);
    else
      throw fail();
    if (value > (UINT64_MAX - d) / unsigned(base))
      throw fail();
    value = value * unsigned(base) + d;
  }
  if (value < min || value > max)
    throw fail();
  return value;
}

} // namespace platsim
