#include "sim/report/Report.h"

#include "sim/core/Errors.h"

namespace sim {

ReportSection &BootReport::Section(const std::string &key) {
  for (auto &s : sections_)
    if (s.Key == key)
      return s;
  sections_.push_back(ReportSection{key, nlohmann::json::object()});
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
  nlohmann::json order = nlohmann::json::array();
  for (const auto &s : sections_) {
    j[s.Key] = s.Data;
    order.push_back(s.Key);
  }
  j["sections"] = order;
  return j;
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

nlohmann::json &RunReport::Story(const std::string &key) {
  return story_[key];
}

nlohmann::json RunReport::ToJson() const {
  nlohmann::json boots = nlohmann::json::array();
  for (const auto &b : boots_)
    boots.push_back(b.ToJson());
  nlohmann::json j = {
      {"format_version", kReportFormatVersion}, {"board", board_}, {"state", state_}};
  if (!story_.empty())
    j["story"] = story_;
  j["boots"] = boots;
  return j;
}

} // namespace sim
