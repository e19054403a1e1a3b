// platsim boot: consecutive boots of the board (one by default).
#include "tools/platsim/Commands.h"

#include <cstdlib>

namespace platsim {

int RunBoot(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  unsigned boots = 1;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--boots" && i + 1 < rest.size()) {
      char *end = nullptr;
      unsigned long n = std::strtoul(rest[i + 1].c_str(), &end, 10);
      if (rest[i + 1].empty() || *end != '\0' || n == 0 || n > 100)
        throw UsageError("--boots takes a number from 1 to 100");
      boots = unsigned(n);
      ++i;
    } else {
      throw UsageError("unknown argument \"" + rest[i] + "\"");
    }
  }
  Session session(options);
  for (unsigned i = 0; i < boots; ++i)
    session.Board().Boot();
  return session.Finish();
}

} // namespace platsim
