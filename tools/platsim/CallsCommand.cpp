// platsim calls: one boot, listing every service and protocol call the board
// could fail, in order, each with the NAME#N a --fail rule takes to fail just
// that call (and NAME:DETAIL#N for calls counted per variable or protocol).
#include "tools/platsim/Commands.h"

#include <fstream>
#include <iostream>

namespace platsim {

int RunCalls(Args args) {
  BoardOptions options;
  ParseOnlyBoardOptions(args, options);
  std::optional<std::string> json = options.JsonFile;
  options.JsonFile.reset(); // the list, not the report
  Session session(options);
  sim::Board &board = session.Board();
  board.Faults().RecordCalls(true);
  sim::BootResult result = board.Boot();
  const auto &calls = board.Faults().CallLog();
  if (json) {
    std::ofstream out(*json);
    out << sim::json{{"outcome", sim::OutcomeName(result.Outcome)}, {"calls", calls}}.dump(2)
        << "\n";
    if (!out)
      throw OutputError("cannot write " + *json);
  }
  std::cout << "Boot 1 " << sim::OutcomeName(result.Outcome) << ": " << calls.size()
            << " calls a rule can fail (RULE = NAME#N=STATUS)\n";
  for (size_t i = 0; i < calls.size(); ++i)
    std::cout << "  " << calls[i] << "\n";
  // Listing the calls is no boot of the board: the state is not committed.
  return kExitOk;
}

} // namespace platsim
