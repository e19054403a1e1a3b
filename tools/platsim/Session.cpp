#include "tools/platsim/Commands.h"

#include "sim/core/Errors.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace platsim {

namespace fs = std::filesystem;

std::vector<std::string> ParseBoardOptions(Args args, BoardOptions &options) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    auto value = [&]() -> const std::string & {
      if (i + 1 >= args.size())
        throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--board")
      options.BoardFile = value();
    else if (a == "--state")
      options.StateDir = value();
    else if (a == "--json")
      options.JsonFile = value();
    else if (a == "--fail")
      options.Faults.push_back(value());
    else if (a == "-v" || a == "--verbose")
      options.Text.Verbosity = std::max(options.Text.Verbosity, 1);
    else if (a == "-vv")
      options.Text.Verbosity = 2;
    else if (a == "-q" || a == "--quiet")
      options.Text.Quiet = true;
    else if (a == "--section") {
      const std::string &name = value();
      if (!sim::report::IsSectionName(name))
        throw UsageError("unknown section \"" + name + "\" (" + sim::report::SectionNameList() +
                         ")");
      options.Text.Sections.push_back(name);
    } else
      rest.push_back(a);
  }
  return rest;
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
  board_ = std::make_unique<sim::Board>(std::move(config), state);
  if (!tempDir_.empty())
    board_->Reports().SetStateDirectory("(none: a new board, not kept)");
  for (const auto &rule : options.Faults)
    board_->Faults().Add(sim::FaultRule::Parse(rule));
}

Session::~Session() {
  board_.reset();
  if (!tempDir_.empty()) {
    std::error_code ec;
    fs::remove_all(tempDir_, ec);
  }
}

int Session::Finish() {
  board_->Commit();
  const sim::RunReport &report = board_->Reports();
  const nlohmann::json data = report.ToJson();
  sim::report::TextOptions text = options_.Text;
  // Colour only for a person at a terminal who has not asked for none.
  text.Colour = ::isatty(STDOUT_FILENO) && std::getenv("NO_COLOR") == nullptr;
  std::cout << sim::report::RenderText(data, text);
  if (options_.JsonFile) {
    std::ofstream out(*options_.JsonFile);
    out << data.dump(2) << "\n";
    if (!out)
      throw sim::SimulationError("cannot write " + *options_.JsonFile);
  }
  return report.HasErrors() ? 1 : 0;
}

} // namespace platsim
