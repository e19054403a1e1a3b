// The text report: a view of the run report's JSON (RunReport::ToJson), never
// of the board itself, so the text and --json cannot disagree.
//
// Levels: the default is a one-screen summary that starts with the verdict
// line; verbosity 1 (-v) adds the sections a firmware engineer digs into
// (event-log records, protocol changes, per-port counts, hook calls, ...);
// verbosity 2 (-vv) adds the traces (start-up writes, boot script, the full
// port trace, TPM exchanges, whole variable values). Named sections print only
// those sections, in full; quiet prints only the verdict.
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace sim::report {

struct TextOptions {
  int Verbosity = 0;
  std::vector<std::string> Sections; // --section NAME...: only these, in full
  bool Quiet = false;                // -q: the verdict line only
  bool Colour = false;               // ANSI colour on the verdict and failures
};

// "Boot 1 completed: both drivers started, 25 measurements, log replays to
// the TPM's PCRs, no errors", or what went wrong.
std::string Verdict(const nlohmann::json &run);
// The summary lines of one boot (without its heading).
std::vector<std::string> SummaryLines(const nlohmann::json &boot);
std::string RenderText(const nlohmann::json &run, const TextOptions &options);
// Whether the name is a section some board part publishes.
bool IsSectionName(const std::string &name);
std::string SectionNameList();

} // namespace sim::report
