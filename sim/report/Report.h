// The run report: per boot, sections that the board and every component add
// (variables written, CMOS changes, port traces, protocol installs, pool leaks,
// the reset, ...). Each section carries JSON data (for --json) and text lines
// (the readable rendering). Errors found by the board (pool misuse, a TPL
// misuse) go into the boot's error list and make the report "with errors".
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace sim {

struct ReportSection {
  std::string Key;   // JSON key ("variables")
  std::string Title; // heading of the text rendering ("Variables written")
  nlohmann::json Data = nlohmann::json::object();
  std::vector<std::string> Lines;
};

class BootReport {
public:
  explicit BootReport(unsigned index) : index_(index) {}

  unsigned Index() const { return index_; }
  // The section with this key; created on first use, in order of creation.
  ReportSection &Section(const std::string &key, const std::string &title);
  const ReportSection *Find(const std::string &key) const;
  const std::vector<ReportSection> &Sections() const { return sections_; }

  void SetOutcome(std::string outcome, std::string detail);
  const std::string &Outcome() const { return outcome_; }
  void AddError(std::string text) { errors_.push_back(std::move(text)); }
  const std::vector<std::string> &Errors() const { return errors_; }

  nlohmann::json ToJson() const;
  std::string ToText() const;

private:
  unsigned index_;
  std::string outcome_ = "running";
  std::string detail_;
  std::vector<ReportSection> sections_;
  std::vector<std::string> errors_;
};

class RunReport {
public:
  BootReport &StartBoot(unsigned index);
  std::vector<BootReport> &Boots() { return boots_; }
  const std::vector<BootReport> &Boots() const { return boots_; }
  BootReport &Current();
  bool HasErrors() const;

  void SetBoard(std::string name) { board_ = std::move(name); }
  void SetStateDirectory(std::string dir) { state_ = std::move(dir); }

  nlohmann::json ToJson() const;
  std::string ToText() const;

private:
  std::string board_;
  std::string state_;
  std::vector<BootReport> boots_;
};

} // namespace sim
