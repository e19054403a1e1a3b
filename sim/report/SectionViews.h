// The text view of each report section: its title, the verbosity from which
// it is shown in full, and the function that renders its lines from the
// section's JSON data alone. The line formats are the report's long-standing
// ones (people's scripts read them).
#pragma once
#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim::report {

using Lines = std::vector<std::string>;

// Verbosity levels: 0 the summary, 1 -v, 2 -vv (and --section).
struct SectionView {
  std::string_view Key;
  std::string_view Title;
  int Level;  // shown in full from this verbosity on
  bool Story; // the command's own result: shown first, at every level
  void (*Render)(const nlohmann::json &data, int verbosity, Lines &out);
};

std::span<const SectionView> SectionViews();
// nullptr for a key no view knows (the text view then prints the JSON).
const SectionView *FindSectionView(std::string_view key);

} // namespace sim::report
