// platsim's subcommands and the options every board-running command shares.
#pragma once
#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/report/TextView.h"
#include "tools/platsim/Options.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platsim {

struct Command {
  std::string_view Name;
  std::string_view Usage;   // "boot [--board FILE] ..."
  std::string_view Summary; // one line for --help
  int (*Run)(Args args);
};

// The command table (Commands.cpp).
std::span<const Command> CommandTable();

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

// Parses args by the board options and the command's own `extra` table.
// Fault rules are checked here: a mistyped rule is a usage error.
ParsedArgs ParseBoardOptions(Args args, std::span<const OptionRow> extra, BoardOptions &options);
// Takes the board options out of args and returns the rest, for commands
// that read their own arguments.
std::vector<std::string> ParseBoardOptions(Args args, BoardOptions &options);
// The command's arguments with no options of its own but the board's.
void ParseOnlyBoardOptions(Args args, BoardOptions &options);

// platsim's exit statuses (README, --help).
enum ExitCode : int {
  kExitOk = 0,         // the story ran and nothing was wrong
  kExitBoardError = 1, // the board or a driver reported an error, or the boot hung
  kExitUsage = 2,      // usage or input error (command line, board file, state files)
  kExitRuleIdle = 3,   // a fault rule failed no call
  kExitBusy = 4,       // another run holds the state directory
  kExitOutput = 5,     // an output file or the state directory could not be written
};

// An output file could not be written (exit status kExitOutput).
class OutputError : public sim::SimulationError {
public:
  using sim::SimulationError::SimulationError;
};

// One run of a board: builds it (a fresh temporary state directory unless
// --state is given, removed afterwards), and at Finish writes the output
// files, commits the state and prints the report. Without Finish (an error)
// the state directory stays untouched; a run that ends with a non-zero status
// commits nothing either.
class Session {
public:
  explicit Session(const BoardOptions &options);
  ~Session();
  sim::Board &Board() { return *board_; }
  // An output file written at Finish from `contents`; checked for
  // writability now, before any boot.
  void AddOutput(const std::string &path, std::function<std::string()> contents);
  // Exit status (ExitCode).
  int Finish();

private:
  struct Output {
    std::string Path;
    std::function<std::string()> Contents;
    bool Created; // the check created it: removed again unless written
  };
  void Cleanup();
  BoardOptions options_;
  std::filesystem::path tempDir_;
  std::unique_ptr<sim::Board> board_;
  std::vector<Output> outputs_;
};

// The board's part of type T; `what` names it in the error of a board without one.
template <class T> T &PartOf(sim::Board &board, const char *what) {
  if (T *part = board.Find<T>())
    return *part;
  throw sim::SimulationError(std::string("this board has no ") + what);
}

int RunBoot(Args args);
int RunPpi(Args args);
int RunS3(Args args);
int RunPowerButton(Args args);
int RunPress(Args args);
int RunSmi(Args args);
int RunFirmware(Args args);
int RunCalls(Args args);
int RunScenario(Args args);

} // namespace platsim
