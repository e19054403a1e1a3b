// platsim's command-line conventions, one parser for every command:
// "--opt value" and "--opt=value", flags without a value, "--" ending the
// options, and numbers in decimal or 0x hex (never octal). Every mistake is a
// UsageError naming the option.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platsim {

using Args = std::span<const std::string>;

// Bad command line: main prints it with the command's usage, exit status 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// One option a command takes.
struct OptionRow {
  std::string_view Name;  // "--boots", "-v"
  std::string_view Value; // what the value is ("N", "FILE"); empty: a flag
  bool Repeatable = false;
};

// The options every board-running command takes.
inline constexpr OptionRow kBoardOptionSpecs[] = {
    {"--board", "FILE"},
    {"--state", "DIR"},
    {"--json", "FILE"},
    {"--fail", "RULE", true},
    // The report's level of detail.
    {"-v", ""},
    {"--verbose", ""},
    {"-vv", ""},
    {"-q", ""},
    {"--quiet", ""},
    {"--section", "NAME", true},
};

class ParsedArgs {
public:
  bool Has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
  // The value of a single-valued option.
  std::optional<std::string> Value(std::string_view name) const;
  const std::vector<std::string> &Values(std::string_view name) const;
  const std::vector<std::string> &Positionals() const { return positionals_; }
  // A numeric option, min..max; `fallback` when absent.
  uint64_t Number(std::string_view name, uint64_t fallback, uint64_t min, uint64_t max) const;

private:
  friend ParsedArgs ParseArgs(Args args, std::span<const std::span<const OptionRow>> tables);
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positionals_;
};

// Splits args by the option tables; positionals in order.
ParsedArgs ParseArgs(Args args, std::span<const std::span<const OptionRow>> tables);
inline ParsedArgs ParseArgs(Args args, std::span<const OptionRow> table) {
  std::span<const OptionRow> tables[] = {table};
  return ParseArgs(args, tables);
}

// Decimal or 0x hex, min..max; `what` names the option or argument.
uint64_t ParseNumber(std::string_view what, std::string_view text, uint64_t min, uint64_t max);

} // namespace platsim
