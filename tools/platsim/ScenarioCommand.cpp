// platsim scenario FILE: a story of many steps on one board in one run, so the
// SMRAM state (the live button table, the key-code queue), the screen and the
// TPM carry from step to step as on a laptop. docs/scenarios.md is the format.
#include "Platform/TpmPlatformVariables.h"
#include "sim/console/ConsoleComponent.h"
#include "sim/console/Keys.h"
#include "sim/core/Errors.h"
#include "sim/core/Text.h"
#include "sim/platform/TpmPlatformState.h"
#include "sim/report/Format.h"
#include "sim/tpm/TpmComponent.h"
#include "tools/platsim/Actions.h"
#include "tools/platsim/Scenario.h"

#include <fstream>
#include <iostream>

namespace platsim {

namespace {

using json = nlohmann::json;

std::string Joined(const std::vector<std::string> &words, size_t from) {
  std::string text;
  for (size_t i = from; i < words.size(); ++i)
    text += (text.empty() ? "" : " ") + words[i];
  return text;
}

std::string XmlEscaped(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// Runs the steps. A boot stays open while steps run inside it; a step that
// resets or halts the machine ends it, and the next step that needs a running
// machine powers it on again.
class ScenarioRun {
public:
  ScenarioRun(Session &session, const Scenario &scenario)
      : board_(session.Board()), scenario_(scenario), story_(board_.Reports().Story("scenario")) {
    story_ = {{"file", scenario.Name}, {"steps", json::array()}, {"expects", json::array()}};
  }

  // False when a step could not run (the story records why).
  bool Run() {
    while (next_ < scenario_.Steps.size()) {
      const ScenarioStep &step = scenario_.Steps[next_];
      if (step.Kind == StepKind::Boot || step.Kind == StepKind::Reboot ||
          step.Kind == StepKind::Action) {
        if (step.Kind != StepKind::Action)
          ++next_, Record(step, 1); // it runs in the boot it starts
        if (!BootAndRunSteps())
          return false;
        continue;
      }
      ++next_;
      Record(step);
      if (!Outside(step))
        return false;
    }
    return true;
  }

  bool AllHeld() const {
    for (const auto &e : story_["expects"])
      if (!e["held"].get<bool>())
        return false;
    return true;
  }

private:
  void Record(const ScenarioStep &step, unsigned ahead = 0) {
    story_["steps"].push_back(
        {{"line", step.Line}, {"text", step.Text}, {"boot", board_.LifetimeBoots() + ahead}});
  }

  bool Fail(const ScenarioStep &step, const std::string &message) {
    story_["error"] = {{"line", step.Line}, {"message", message}};
    return false;
  }

  // One boot: the boot sequence, then the steps until one ends the boot.
  bool BootAndRunSteps() {
    bool ok = true;
    const bool request = ppiPending_;
    ppiPending_ = false;
    board_.PowerOn();
    board_.Run([&](sim::Board &b) {
      b.Sequence().Run(b);
      while (ok && next_ < scenario_.Steps.size()) {
        const ScenarioStep &step = scenario_.Steps[next_];
        if (step.Kind == StepKind::Boot)
          return; // the outer loop powers on again
        ++next_;
        Record(step);
        if (step.Kind == StepKind::Reboot) {
          // The OS's warm reset; the outer loop starts the next boot.
          rebootNext_ = true;
          b.RequestReset(EfiResetWarm, EFI_SUCCESS);
          return;
        }
        ok = step.Kind == StepKind::Action ? Action(b, step) : Outside(step);
      }
    });
    if (request)
      if (auto *state = board_.Find<sim::TpmPlatformStateComponent>())
        state->Record()[18] = 0; // the operating system's request is used up
    if (rebootNext_) {
      rebootNext_ = false;
      return ok && BootAndRunSteps();
    }
    return ok;
  }

  bool Action(sim::Board &b, const ScenarioStep &step) {
    json result;
    try {
      step.Action.Run(b, result);
    } catch (const UsageError &e) {
      return Fail(step, e.what());
    } catch (const sim::SimulationError &e) {
      return Fail(step, e.what());
    }
    json &steps = b.Report().Section("steps").Data;
    if (!steps.is_array())
      steps = json::array();
    steps.push_back(
        {{"line", step.Line}, {"text", step.Text}, {"kind", step.Action.Key}, {"result", result}});
    if (step.Action.Key == "button_press") {
      auto keys = sim::FromHex(result["keyboard_stream"].get<std::string>());
      keyboard_.insert(keyboard_.end(), keys->begin(), keys->end());
    } else if (result.contains("reply")) {
      lastReply_ = *sim::FromHex(result["reply"].get<std::string>());
    }
    return true;
  }

  // Steps that need no running machine: expects, keys, a PPI request.
  bool Outside(const ScenarioStep &step) {
    switch (step.Kind) {
    case StepKind::Keys: {
      auto *console = board_.Find<sim::ConsoleComponent>();
      if (!console)
        return Fail(step, "the board has no console");
      console->Device().SetKeys(sim::ParseKeyList(step.Text2));
      return true;
    }
    case StepKind::PpiRequest: {
      auto *state = board_.Find<sim::TpmPlatformStateComponent>();
      if (!state)
        return Fail(step, "the board has no TPM platform state");
      auto &record = state->Record();
      record[0] = 1;
      record[2] = 1;
      record[18] = uint8_t(step.Number);
      ppiPending_ = true;
      return true;
    }
    case StepKind::Expect:
      Expect(step);
      return true;
    default:
      return Fail(step, "this step needs a running machine");
    }
  }

  void Expect(const ScenarioStep &step) {
    const std::string &what = step.Words[1];
    std::string expected = Joined(step.Words, 2), seen;
    bool held = false;
    if (what == "keyboard") {
      seen = sim::report::HexBytes(keyboard_);
      held = step.Bytes == keyboard_;
      keyboard_.clear();
    } else if (what == "reply") {
      seen = sim::report::HexBytes(lastReply_);
      held = lastReply_.size() >= step.Bytes.size() &&
             std::equal(step.Bytes.begin(), step.Bytes.end(), lastReply_.begin());
    } else if (what == "variable") {
      const std::string &name = step.Words[2];
      expected = Joined(step.Words, 3);
      const sim::VariableStore::Variable *found = nullptr;
      for (const auto &v : board_.Variables().All())
        if (sim::ToUtf8(v.Name) == name)
          found = &v;
      seen = found ? sim::report::HexBytes(found->Data) : "absent";
      held = step.Absent ? !found : found && found->Data == step.Bytes;
      if (!step.Absent)
        expected = sim::report::HexBytes(step.Bytes);
    } else if (what == "cmos") {
      uint8_t value = board_.Cmos().Get(uint8_t(step.Number));
      seen = sim::HexNumber(value, 2);
      expected = sim::HexNumber(step.Value, 2);
      held = value == step.Value;
    } else if (what == "pcr") {
      auto *tpm = board_.Find<sim::tpm::TpmComponent>();
      expected = sim::ToHex(step.Bytes);
      try {
        seen = tpm && tpm->Present() ? sim::ToHex(tpm->Chip().ReadPcr(step.Number)) : "no TPM";
      } catch (const std::exception &e) {
        seen = std::string("not readable: ") + e.what();
      }
      held = seen == expected;
    } else if (what == "screen") {
      std::vector<std::string> rows = LastScreen();
      for (const auto &row : rows)
        held = held || row.find(step.Text2) != std::string::npos;
      expected = "a line containing \"" + step.Text2 + "\"";
      seen = rows.empty() ? "no confirmation screen" : "";
      for (const auto &row : rows)
        if (!row.empty())
          seen += (seen.empty() ? "" : " | ") + row;
    }
    story_["expects"].push_back({{"line", step.Line},
                                 {"text", step.Text},
                                 {"held", held},
                                 {"expected", expected},
                                 {"seen", seen}});
  }

  // The rows of the last boot that showed a screen.
  std::vector<std::string> LastScreen() {
    auto *console = board_.Find<sim::ConsoleComponent>();
    if (console && console->Device().ScreenBegun() != 0)
      return console->Device().Screen().UsedRows();
    const auto &boots = board_.Reports().Boots();
    for (auto it = boots.rbegin(); it != boots.rend(); ++it)
      if (const auto *screen = it->Find("screen"))
        return screen->Data["rows"].get<std::vector<std::string>>();
    return {};
  }

  sim::Board &board_;
  const Scenario &scenario_;
  json &story_;
  size_t next_ = 0;
  bool ppiPending_ = false;
  bool rebootNext_ = false;
  std::vector<uint8_t> keyboard_;
  std::vector<uint8_t> lastReply_;
};

void WriteJunit(const std::string &path, const json &story) {
  size_t failures = 0;
  for (const auto &e : story["expects"])
    failures += !e["held"].get<bool>();
  const std::string name = XmlEscaped(story["file"].get<std::string>());
  std::ofstream out(path);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<testsuite name=\"" << name << "\" tests=\"" << story["expects"].size()
      << "\" failures=\"" << failures << "\" errors=\"" << (story.contains("error") ? 1 : 0)
      << "\">\n";
  for (const auto &e : story["expects"]) {
    out << "  <testcase classname=\"" << name << "\" name=\"line " << e["line"].get<unsigned>()
        << ": " << XmlEscaped(e["text"].get<std::string>()) << "\"";
    if (e["held"].get<bool>()) {
      out << "/>\n";
      continue;
    }
    out << ">\n    <failure message=\"expected " << XmlEscaped(e["expected"].get<std::string>())
        << ", seen " << XmlEscaped(e["seen"].get<std::string>()) << "\"/>\n  </testcase>\n";
  }
  if (story.contains("error"))
    out << "  <testcase classname=\"" << name << "\" name=\"line "
        << story["error"]["line"].get<unsigned>() << "\">\n    <error message=\""
        << XmlEscaped(story["error"]["message"].get<std::string>()) << "\"/>\n  </testcase>\n";
  out << "</testsuite>\n";
  if (!out)
    throw sim::SimulationError("cannot write " + path);
}

} // namespace

int RunScenario(Args args) {
  BoardOptions options;
  auto rest = ParseBoardOptions(args, options);
  std::optional<std::string> file, junit;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--junit" && i + 1 < rest.size())
      junit = rest[++i];
    else if (!file && rest[i].rfind("--", 0) != 0)
      file = rest[i];
    else
      throw UsageError("unknown argument \"" + rest[i] + "\"");
  }
  if (!file)
    throw UsageError("which scenario file?");
  Scenario scenario;
  try {
    scenario = ReadScenario(*file);
  } catch (const ScenarioError &e) {
    std::cerr << "platsim scenario: " << e.what() << "\n";
    return 2;
  }
  Session session(options);
  ScenarioRun run(session, scenario);
  const bool ran = run.Run();
  const json &story = session.Board().Reports().Story("scenario");
  if (junit)
    WriteJunit(*junit, story);
  int status = session.Finish();
  return ran && run.AllHeld() ? status : 1;
}

} // namespace platsim
