// platsim's subcommands and the options every board-running command shares.
#pragma once
#include "sim/board/Board.h"
#include "sim/report/TextView.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platsim {

using Args = std::span<const std::string>;

struct Command {
  std::string_view Name;
  std::string_view Usage;   // "boot [--board FILE] ..."
  std::string_view Summary; // one line for --help
  int (*Run)(Args args);
};

// The command table (Commands.cpp).
std::span<const Command> CommandTable();

// Bad command line: main prints it with the command's usage, exit status 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// --board FILE, --state DIR, --json FILE, --fail RULE (repeatable), and the
// report's level of detail: -v, -vv, -q, --section NAME (repeatable).
struct BoardOptions {
  std::optional<std::string> BoardFile;
  std::optional<std::filesystem::path> StateDir;
  std::optional<std::string> JsonFile;
  std::vector<std::string> Faults;
  sim::report::TextOptions Text;
};
inline constexpr std::string_view kBoardOptionsUsage =
    "[--board FILE] [--state DIR] [--json FILE] [--fail SERVICE[#N]=STATUS]... [-v|-vv|-q] "
    "[--section NAME]...";

// Takes the shared options out of args; returns the remaining arguments.
std::vector<std::string> ParseBoardOptions(Args args, BoardOptions &options);

// One run of a board: builds it (a fresh temporary state directory unless
// --state is given, removed afterwards), and at Finish commits the state,
// prints the report and writes --json. Without Finish (an error) the state
// directory stays untouched.
class Session {
public:
  explicit Session(const BoardOptions &options);
  ~Session();
  sim::Board &Board() { return *board_; }
  // Exit status: 0, or 1 when a boot reported errors.
  int Finish();

private:
  BoardOptions options_;
  std::filesystem::path tempDir_;
  std::unique_ptr<sim::Board> board_;
};

int RunBoot(Args args);
int RunPpi(Args args);
int RunS3(Args args);
int RunPowerButton(Args args);
int RunPress(Args args);
int RunSmi(Args args);
int RunFirmware(Args args);
int RunScenario(Args args);

} // namespace platsim
