#include "tools/platsim/Scenario.h"
#include "tools/platsim/Commands.h"
#include "tools/platsim/Options.h"

#include "sim/console/Keys.h"
#include "sim/core/Errors.h"
#include "sim/core/Text.h"
#include "sim/devices/ChipsetComponent.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platsim {

namespace {

constexpr size_t kMaxScenarioBytes = 1 << 20;

sim::ChipsetComponent &ChipsetOf(sim::Board &board) {
  return PartOf<sim::ChipsetComponent>(board, "chipset component");
}

// Decimal or 0x hex, never octal ("010" is ten), as on the command line.
unsigned long Number(const std::string &text, unsigned long max, const std::string &what) {
  try {
    return static_cast<unsigned long>(ParseNumber(what, text, 0, max));
  } catch (const UsageError &e) {
    throw std::invalid_argument(e.what());
  }
}

// Hex bytes given as separate words ("E0 20") or run together ("E020").
std::vector<uint8_t> HexWords(const std::vector<std::string> &words, size_t from) {
  std::string hex;
  for (size_t i = from; i < words.size(); ++i)
    hex += words[i].rfind("0x", 0) == 0 ? words[i].substr(2) : words[i];
  auto bytes = sim::FromHex(hex);
  if (!bytes)
    throw std::invalid_argument("expected hex bytes (\"E0 20\"), not \"" + hex + "\"");
  return *bytes;
}

void ParseExpect(ScenarioStep &step) {
  const auto &w = step.Words;
  if (w.size() < 2)
    throw std::invalid_argument("expect what? keyboard, reply, variable, cmos, pcr or screen");
  const std::string &what = w[1];
  step.Kind = StepKind::Expect;
  if (what == "keyboard" || what == "reply") {
    step.Bytes = HexWords(w, 2);
    if (what == "reply" && step.Bytes.empty())
      throw std::invalid_argument("expect reply needs the bytes");
  } else if (what == "variable") {
    if (w.size() < 4)
      throw std::invalid_argument("expect variable NAME BYTES... (or absent)");
    step.Absent = w.size() == 4 && w[3] == "absent";
    if (!step.Absent)
      step.Bytes = HexWords(w, 3);
  } else if (what == "cmos") {
    if (w.size() != 4)
      throw std::invalid_argument("expect cmos REGISTER VALUE");
    step.Number = unsigned(Number(w[2], 0x7F, "a CMOS register"));
    step.Value = uint8_t(Number(w[3], 0xFF, "a CMOS value"));
  } else if (what == "pcr") {
    if (w.size() < 4)
      throw std::invalid_argument("expect pcr N DIGEST (40 hex digits)");
    step.Number = unsigned(Number(w[2], 23, "a PCR"));
    step.Bytes = HexWords(w, 3);
    if (step.Bytes.size() != 20)
      throw std::invalid_argument("a PCR value has 40 hex digits");
  } else if (what == "screen") {
    if (w.size() != 3 || w[2].empty())
      throw std::invalid_argument("expect screen \"TEXT\"");
    step.Text2 = w[2];
  } else {
    throw std::invalid_argument("unknown expect \"" + what +
                                "\" (keyboard, reply, variable, cmos, pcr, screen)");
  }
}

void ParseStep(ScenarioStep &step) {
  const auto &w = step.Words;
  const std::string &verb = w[0];
  std::vector<std::string> rest(w.begin() + 1, w.end());
  auto noArguments = [&] {
    if (!rest.empty())
      throw std::invalid_argument(verb + " takes no arguments");
  };
  if (verb == "boot") {
    noArguments();
    step.Kind = StepKind::Boot;
  } else if (verb == "reboot") {
    noArguments();
    step.Kind = StepKind::Reboot;
  } else if (verb == "press") {
    step.Action = ParsePress(rest);
  } else if (verb == "smi") {
    step.Action = ParseSmi(rest);
  } else if (verb == "s3") {
    noArguments();
    step.Action = {"s3_cycle", [](sim::Board &b, nlohmann::json &out) {
                     sim::S3Result r = ChipsetOf(b).SuspendResume();
                     out = {{"lost", r.Lost().size()},
                            {"different", r.Differences()},
                            {"replayed", r.Replayed}};
                   }};
  } else if (verb == "power-button") {
    noArguments();
    step.Action = {"power_button", [](sim::Board &b, nlohmann::json &out) {
                     out = {{"gpi", 1}, {"route", ChipsetOf(b).RaiseGpi(1)}};
                   }};
  } else if (verb == "ppi") {
    if (rest.size() != 2 || rest[0] != "request")
      throw std::invalid_argument("ppi request OP");
    step.Kind = StepKind::PpiRequest;
    step.Number = unsigned(Number(rest[1], 255, "a PPI operation"));
  } else if (verb == "keys") {
    if (rest.empty())
      throw std::invalid_argument("keys KEY... (F3, Enter, Esc, ...)");
    step.Kind = StepKind::Keys;
    for (const auto &k : rest)
      step.Text2 += (step.Text2.empty() ? "" : ",") + k;
    sim::ParseKeyList(step.Text2); // throws for an unknown key
  } else if (verb == "expect") {
    ParseExpect(step);
  } else {
    throw std::invalid_argument("unknown step \"" + verb +
                                "\" (boot, reboot, press, smi, s3, power-button, ppi request, "
                                "keys, expect)");
  }
}

} // namespace

std::vector<std::string> ScenarioWords(const std::string &line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (quoted) {
      if (c == '"')
        quoted = false;
      else
        word += c;
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == '#') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord)
        words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted)
    throw std::invalid_argument("a quote is not closed");
  if (inWord)
    words.push_back(word);
  return words;
}

Scenario ParseScenario(const std::string &name, const std::string &text) {
  Scenario scenario{name, {}};
  std::istringstream in(text);
  std::string line;
  unsigned number = 0;
  while (std::getline(in, line)) {
    ++number;
    ScenarioStep step;
    step.Line = number;
    try {
      step.Words = ScenarioWords(line);
      if (step.Words.empty())
        continue;
      for (const auto &w : step.Words)
        step.Text += (step.Text.empty() ? "" : " ") +
                     (w.find(' ') != std::string::npos || w.empty() ? "\"" + w + "\"" : w);
      ParseStep(step);
    } catch (const std::exception &e) {
      throw ScenarioError(name + ":" + std::to_string(number) + ": " + e.what());
    }
    scenario.Steps.push_back(std::move(step));
  }
  if (scenario.Steps.empty())
    throw ScenarioError(name + ": no steps");
  return scenario;
}

Scenario ReadScenario(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw ScenarioError(path + ": cannot read the scenario file");
  std::string text;
  text.resize(kMaxScenarioBytes + 1);
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  if (text.size() > kMaxScenarioBytes)
    throw ScenarioError(path + ": longer than " + std::to_string(kMaxScenarioBytes) + " bytes");
  return ParseScenario(path, text);
}

} // namespace platsim
