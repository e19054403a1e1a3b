// The run report as data: per boot, sections that the board and every
// component publish once, as JSON (variables written, CMOS changes, port
// traces, protocol installs, pool leaks, the reset, ...). The text report and
// --json are both views of this data (sim/report/TextView.h renders the text
// from the JSON alone); docs/report.md documents every section's fields.
// Errors found by the board (pool misuse, a TPL misuse, a replay that differs
// from the TPM) go into the boot's error list and make the run "with errors".
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace sim {

// Raised when a field is renamed, removed or changes meaning; adding fields
// or sections keeps the number.
inline constexpr int kReportFormatVersion = 2;

struct ReportSection {
  std::string Key; // JSON key ("variables"); the text view's table gives its title
  nlohmann::json Data = nlohmann::json::object();
};

class BootReport {
public:
  explicit BootReport(unsigned index) : index_(index) {}

  unsigned Index() const { return index_; }
  // The section with this key; created on first use, in order of creation.
  ReportSection &Section(const std::string &key);
  const ReportSection *Find(const std::string &key) const;
  const std::vector<ReportSection> &Sections() const { return sections_; }

  void SetOutcome(std::string outcome, std::string detail);
  const std::string &Outcome() const { return outcome_; }
  void AddError(std::string text) { errors_.push_back(std::move(text)); }
  const std::vector<std::string> &Errors() const { return errors_; }

  // {"boot", "outcome", "detail"?, "errors", "sections": [keys in order], key: data...}
  nlohmann::json ToJson() const;

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
  // The command's own result over the whole run (platsim ppi's story, a
  // scenario's steps and expects): rendered first.
  nlohmann::json &Story(const std::string &key);

  // {"format_version", "board", "state", "story"?, "boots": [...]}
  nlohmann::json ToJson() const;

private:
  std::string board_;
  std::string state_;
  nlohmann::json story_ = nlohmann::json::object();
  std::vector<BootReport> boots_;
};

} // namespace sim
