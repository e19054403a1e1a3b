#include "sim/report/Report.h"

#include "sim/core/Errors.h"

namespace sim {

ReportSection &BootReport::Section(const std::string &key, const std::string &title) {
  for (auto &s : sections_)
    if (s.Key == key)
      return s;
  sections_.push_back(ReportSection{key, title, nlohmann::json::object(), {}});
  return sections_.back();
}

const ReportSection *BootReport::Find(const std::string &key) const {
  for (const auto &s : sections_)
    if (s.Key == key)
      return &s;
  return nullptr;
}

void BootReport::SetOutcome(std::string outcome, std::string detail) {
  outcome_ = std::move(outcome);
  detail_ = std::move(detail);
}

nlohmann::json BootReport::ToJson() const {
  nlohmann::json j = {{"boot", index_}, {"outcome", outcome_}, {"errors", errors_}};
  if (!detail_.empty())
    j["detail"] = detail_;
  for (const auto &s : sections_)
    j[s.Key] = s.Data;
  return j;
}

std::string BootReport::ToText() const {
  std::string out = "Boot " + std::to_string(index_) + ": " + outcome_;
  if (!detail_.empty())
    out += " (" + detail_ + ")";
  out += "\n";
  for (const auto &s : sections_) {
    if (s.Lines.empty())
      continue;
    out += "  " + s.Title + "\n";
    for (const auto &line : s.Lines)
      out += "    " + line + "\n";
  }
  if (!errors_.empty()) {
    out += "  Errors\n";
    for (const auto &e : errors_)
      out += "    " + e + "\n";
  }
  return out;
}

BootReport &RunReport::StartBoot(unsigned index) {
  boots_.emplace_back(index);
  return boots_.back();
}

BootReport &RunReport::Current() {
  if (boots_.empty())
    throw SimulationError("no boot has started: there is no boot report yet");
  return boots_.back();
}

bool RunReport::HasErrors() const {
  for (const auto &b : boots_)
    if (!b.Errors().empty())
      return true;
  return false;
}

nlohmann::json RunReport::ToJson() const {
  nlohmann::json boots = nlohmann::json::array();
  for (const auto &b : boots_)
    boots.push_back(b.ToJson());
  return {{"board", board_}, {"state", state_}, {"boots", boots}};
}

std::string RunReport::ToText() const {
  std::string out = "Board: " + board_ + "\n";
  if (!state_.empty())
    out += "State: " + state_ + "\n";
  for (const auto &b : boots_)
    out += b.ToText();
  return out;
}

} // namespace sim
