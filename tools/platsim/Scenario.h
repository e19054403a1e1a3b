// A scenario file: plain text, one step a line, '#' starts a comment, the
// words of a step as after `platsim` on the command line where a command
// exists (docs/scenarios.md). Read whole before anything runs, so a bad line
// is reported with its number and nothing has happened to the board.
#pragma once
#include "tools/platsim/Actions.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace platsim {

// "FILE:LINE: what is wrong"; platsim exits 2.
class ScenarioError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum class StepKind { Boot, Reboot, Action, PpiRequest, Keys, Expect };

struct ScenarioStep {
  unsigned Line = 0;
  std::string Text;               // the step as written, comment removed
  std::vector<std::string> Words; // quotes removed
  StepKind Kind = StepKind::Action;
  StoryAction Action;         // press, smi, s3, power-button
  unsigned Number = 0;        // ppi request OP; expect cmos REG; expect pcr N
  uint8_t Value = 0;          // expect cmos: the value
  std::vector<uint8_t> Bytes; // expect keyboard / reply / variable / pcr
  bool Absent = false;        // expect variable NAME absent
  std::string Text2;          // expect screen: the text; keys: "F3,Enter"
};

struct Scenario {
  std::string Name; // the file as given
  std::vector<ScenarioStep> Steps;
};

// Splits a line into words: blanks separate, "double quotes" keep blanks,
// '#' outside quotes ends the line. Throws std::invalid_argument for an
// unclosed quote.
std::vector<std::string> ScenarioWords(const std::string &line);
Scenario ParseScenario(const std::string &name, const std::string &text);
Scenario ReadScenario(const std::string &path);

} // namespace platsim
