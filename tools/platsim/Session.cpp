#include "tools/platsim/Commands.h"

#include "sim/core/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace platsim {

namespace fs = std::filesystem;

ParsedArgs ParseBoardOptions(Args args, std::span<const OptionRow> extra, BoardOptions &options) {
  std::span<const OptionRow> tables[] = {kBoardOptionSpecs, extra};
  ParsedArgs parsed = ParseArgs(args, tables);
  options.BoardFile = parsed.Value("--board");
  if (auto state = parsed.Value("--state"))
    options.StateDir = *state;
  options.JsonFile = parsed.Value("--json");
  options.Faults = parsed.Values("--fail");
  for (const auto &rule : options.Faults) {
    try {
      sim::FaultRule::Parse(rule);
    } catch (const sim::SimulationError &e) {
      throw UsageError(std::string("--fail: ") + e.what());
    }
  }
  if (parsed.Has("-v") || parsed.Has("--verbose"))
    options.Text.Verbosity = std::max(options.Text.Verbosity, 1);
  if (parsed.Has("-vv"))
    options.Text.Verbosity = 2;
  if (parsed.Has("-q") || parsed.Has("--quiet"))
    options.Text.Quiet = true;
  for (const auto &name : parsed.Values("--section")) {
    if (!sim::report::IsSectionName(name))
      throw UsageError("unknown section \"" + name + "\" (" + sim::report::SectionNameList() + ")");
    options.Text.Sections.push_back(name);
  }
  for (const auto &[name, value] :
       {std::pair{"--board", options.BoardFile}, {"--json", options.JsonFile}})
    if (value && value->empty())
      throw UsageError(std::string(name) + " needs a file name");
  if (options.StateDir && options.StateDir->empty())
    throw UsageError("--state needs a directory name");
  return parsed;
}

std::vector<std::string> ParseBoardOptions(Args args, BoardOptions &options) {
  std::vector<std::string> mine, rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--") {
      rest.insert(rest.end(), args.begin() + long(i), args.end());
      break;
    }
    std::string name = a.substr(0, a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos);
    const OptionRow *row = nullptr;
    for (const OptionRow &o : kBoardOptionSpecs)
      if (o.Name == name)
        row = &o;
    if (row == nullptr) {
      rest.push_back(a);
      continue;
    }
    mine.push_back(a);
    if (!row->Value.empty() && name.size() == a.size() && i + 1 < args.size() &&
        args[i + 1].rfind("--", 0) != 0)
      mine.push_back(args[++i]);
  }
  ParseOnlyBoardOptions(mine, options);
  return rest;
}

void ParseOnlyBoardOptions(Args args, BoardOptions &options) {
  ParsedArgs parsed = ParseBoardOptions(args, {}, options);
  if (!parsed.Positionals().empty())
    throw UsageError("unexpected argument \"" + parsed.Positionals().front() + "\"");
}

Session::Session(const BoardOptions &options) : options_(options) {
  sim::BoardConfig config = options.BoardFile ? sim::BoardConfig::FromFile(*options.BoardFile)
                                              : sim::BoardConfig::Reference();
  fs::path state;
  if (options.StateDir) {
    state = *options.StateDir;
  } else {
    // Every run without --state is a cold first boot of a new laptop.
    std::string pattern = (fs::temp_directory_path() / "platsim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw sim::SimulationError("cannot create a temporary state directory");
    tempDir_ = state = pattern;
  }
  try {
    board_ = std::make_unique<sim::Board>(std::move(config), state);
    if (!tempDir_.empty())
      board_->Reports().SetStateDirectory("(none: a new board, not kept)");
    for (const auto &rule : options.Faults)
      board_->Faults().Add(sim::FaultRule::Parse(rule));
    if (options.JsonFile)
      AddOutput(*options.JsonFile, [this] { return board_->Reports().ToJson().dump(2) + "\n"; });
  } catch (...) {
    Cleanup();
    throw;
  }
}

Session::~Session() {
  Cleanup();
}

void Session::Cleanup() {
  board_.reset();
  for (const auto &o : outputs_)
    if (o.Created)
      ::unlink(o.Path.c_str());
  outputs_.clear();
  if (!tempDir_.empty()) {
    std::error_code ec;
    fs::remove_all(tempDir_, ec);
    tempDir_.clear();
  }
}

void Session::AddOutput(const std::string &path, std::function<std::string()> contents) {
  std::error_code ec;
  bool existed = fs::exists(path, ec);
  if (existed && fs::is_directory(path, ec))
    throw OutputError("cannot write " + path + ": it is a directory");
  // Opened without truncating: an existing file keeps its contents until the
  // run has something to write into it.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    throw OutputError("cannot write " + path + ": " + std::strerror(errno));
  ::close(fd);
  outputs_.push_back({path, std::move(contents), !existed});
}

int Session::Finish() {
  const sim::RunReport &report = board_->Reports();
  int status = report.HasErrors() ? kExitBoardError : kExitOk;
  std::vector<std::string> idle;
  const auto &faults = board_->Faults();
  for (size_t i = 0; i < faults.Rules().size(); ++i)
    if (faults.Hits()[i] == 0)
      idle.push_back(faults.Rules()[i].ToString());
  if (!idle.empty())
    status = kExitRuleIdle;

  // Outputs first: a failing write commits nothing.
  for (auto &o : outputs_) {
    std::string text = o.Contents();
    std::ofstream out(o.Path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), std::streamsize(text.size()));
    out.close();
    if (!out)
      throw OutputError("cannot write " + o.Path);
    o.Created = false;
  }
  if (status == kExitOk) {
    try {
      board_->Commit();
    } catch (const sim::SimulationError &e) {
      throw OutputError(e.what());
    }
  }
  sim::report::TextOptions text = options_.Text;
  // Colour only for a person at a terminal who has not asked for none.
  text.Colour = ::isatty(STDOUT_FILENO) && std::getenv("NO_COLOR") == nullptr;
  std::cout << sim::report::RenderText(report.ToJson(), text);
  for (const auto &rule : idle)
    std::cerr << "platsim: fault rule " << rule << " never fired: it matched no call"
              << " (platsim calls lists the calls)\n";
  return status;
}

} // namespace platsim
