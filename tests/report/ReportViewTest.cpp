// The report as data and its text view: the text is rendered from the JSON
// alone, the summary fits a screen with the verdict first, every published
// section has a view, and the formatters say what changed.
#include "sim/board/Board.h"
#include "sim/core/Status.h"
#include "sim/report/Format.h"
#include "sim/report/SectionViews.h"
#include "sim/report/TextView.h"
#include "support/Format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

using nlohmann::json;
using sim::report::TextOptions;

std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// One reference-board boot, shared by the tests (a boot costs a TPM start-up).
const json &ReferenceRun() {
  static const json run = [] {
    auto dir =
        std::filesystem::temp_directory_path() / ("report-test-" + std::to_string(::getpid()) +
                                                  "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    json data;
    {
      sim::Board board(sim::BoardConfig::Reference(), dir);
      board.Boot();
      data = board.Reports().ToJson();
    }
    std::filesystem::remove_all(dir);
    return data;
  }();
  return run;
}

TEST(ReportView, SummaryIsOneScreenWithTheVerdictFirst) {
  const json &run = ReferenceRun();
  ASSERT_EQ(run["format_version"], sim::kReportFormatVersion);
  auto lines = SplitLines(sim::report::RenderText(run, {}));
  ASSERT_FALSE(lines.empty());
  EXPECT_LE(lines.size(), 60u);
  EXPECT_EQ(lines[0].rfind("Boot 1 completed: both drivers started, ", 0), 0u) << lines[0];
  EXPECT_TRUE(Contains(lines[0], " measurements, log replays to the TPM's PCRs, no errors"))
      << lines[0];
  const std::string text = sim::report::RenderText(run, {});
  // Only the changed bytes of the 928-byte "Setup", never its whole value.
  EXPECT_TRUE(Contains(text, "Setup[32] 00 -> 01")) << text;
  EXPECT_FALSE(Contains(text, std::string(64, '0')));
  EXPECT_FALSE(Contains(text, "SMM start-up writes"));
}

TEST(ReportView, LevelsAddSectionsInTheirOldFormats) {
  const json &run = ReferenceRun();
  struct Case {
    TextOptions Options;
    std::vector<std::string> Present, Absent;
  };
  const Case cases[] = {
      {{0, {}, true, false}, {"Boot 1 completed"}, {"Board: ", "images:"}},
      {{1, {}, false, false},
       {"  TCG event log\n", "  Protocol changes\n", "  Port accesses\n", "called ReadyToBootHook",
        "replayed PCR 0 "},
       {"  SMM start-up writes\n", "PassThroughToTpm: ", "  Variables written\n"}},
      {{2, {}, false, false},
       {"  SMM start-up writes\n", "  S3 boot script\n", "PassThroughToTpm: ",
        "  Variables written\n    ZELTCGPPIVAR A8A2093B-FEFA-43C1-8E62-CE526847265E attr 0x7 [",
        "    Setup EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9 attr 0x7 [load-tpm-platform]: 00",
        "trace: "},
       {}},
      {{0, {"acpi", "cmos"}, false, false},
       {"  ACPI DSDT flag\n    DSDT at 0x", "  CMOS changes\n    0x6F: 0x01 -> 0x00"},
       {"TCG event log", "images:", "Board: "}},
  };
  for (const Case &c : cases) {
    const std::string text = sim::report::RenderText(run, c.Options);
    if (c.Options.Quiet)
      EXPECT_EQ(SplitLines(text).size(), 1u) << text;
    for (const auto &p : c.Present)
      EXPECT_TRUE(Contains(text, p)) << "verbosity " << c.Options.Verbosity << ": " << p;
    for (const auto &a : c.Absent)
      EXPECT_FALSE(Contains(text, a)) << "verbosity " << c.Options.Verbosity << ": " << a;
  }
}

TEST(ReportView, TextIsAViewOfTheJsonAlone) {
  const json &run = ReferenceRun();
  // Through its serialized form and back: nothing but the JSON feeds the text.
  const json reread = json::parse(run.dump());
  for (int verbosity = 0; verbosity <= 2; ++verbosity) {
    TextOptions options;
    options.Verbosity = verbosity;
    EXPECT_EQ(sim::report::RenderText(run, options), sim::report::RenderText(reread, options));
  }
  // Every section a board part published has a view, and every view prints it
  // (the pool only when blocks are left, as it always has).
  for (const auto &key : run["boots"][0]["sections"]) {
    if (key == "pool" && run["boots"][0]["pool"]["live_blocks"] == 0)
      continue;
    const auto *view = sim::report::FindSectionView(key.get<std::string>());
    ASSERT_NE(view, nullptr) << key;
    sim::report::Lines lines;
    view->Render(run["boots"][0][key.get<std::string>()], 2, lines);
    EXPECT_FALSE(lines.empty()) << key;
  }
  EXPECT_TRUE(run["boots"][0]["measure_platform"].contains("wake_source"));
}

TEST(ReportView, VerdictSaysWhatWentWrong) {
  json run = ReferenceRun();
  run["boots"][0]["images"][0]["status"] = "EFI_NOT_FOUND";
  run["boots"][0]["event_log"]["compared_with_tpm"]["7"] = "differs";
  run["boots"][0]["errors"] = {"event log replay of PCR 7 differs from the TPM"};
  json earlier = run["boots"][0];
  earlier["boot"] = 1;
  earlier["outcome"] = "reset";
  earlier["detail"] = "warm reset, in phase tcg-core";
  earlier["errors"] = json::array();
  run["boots"][0]["boot"] = 2;
  run["boots"].insert(run["boots"].begin(), earlier);
  const std::string verdict = sim::report::Verdict(run);
  for (const char *part : {"Boot 2 completed: driver failed: TpmPlatformDxe EFI_NOT_FOUND",
                           "log replay DIFFERS from the TPM on PCR 7", "1 error (boot 2: ",
                           "earlier boots: 1 reset (warm reset, in phase tcg-core)"})
    EXPECT_TRUE(Contains(verdict, part)) << verdict << "\nmissing: " << part;
}

TEST(ReportFormat, VariableChanges) {
  using Bytes = std::vector<uint8_t>;
  Bytes setup(928, 0), changed = setup;
  changed[32] = 1;
  changed[600] = 0xAA;
  changed[601] = 0xBB;
  struct Case {
    std::optional<Bytes> Before, After;
    std::string Text;
  };
  const Case cases[] = {
      {Bytes{0, 6, 0xF0, 0, 0xFF}, Bytes{0, 6, 0, 0, 0}, "V 00 06 F0 00 FF -> 00 06 00 00 00"},
      {setup, changed, "V[32] 00 -> 01, V[600..601] 00 00 -> AA BB"},
      {std::nullopt, Bytes{1, 2}, "V created 01 02"},
      {std::nullopt, setup, "V created 928 bytes"},
      {Bytes{5}, std::nullopt, "V deleted (was 05)"},
      {setup, setup, "V rewritten unchanged"},
      {Bytes(10, 0), Bytes(12, 0), "V[10..11] -- -- -> 00 00"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(sim::report::VariableChange("V", c.Before, c.After), c.Text);
}

TEST(ReportFormat, StatusTextIsTheDriverLibrarysName) {
  const EFI_STATUS statuses[] = {EFI_SUCCESS, EFI_NOT_FOUND, EFI_WARN_BUFFER_TOO_SMALL,
                                 EFI_END_OF_MEDIA, EFI_STATUS(0x800000000000002AULL)};
  for (EFI_STATUS s : statuses) {
    const CHAR8 *name = StatusName(s);
    const std::string text = sim::StatusText(s);
    if (name) {
      EXPECT_EQ(text, name);
      EXPECT_EQ(sim::ParseStatus(text), s) << text;
    } else {
      EXPECT_EQ(text, "EFI_STATUS(0x800000000000002A)");
    }
  }
  EXPECT_EQ(sim::ParseStatus("NOT_FOUND"), EFI_NOT_FOUND);
  EXPECT_EQ(sim::ParseStatus("EFI_NO_SUCH_THING"), std::nullopt);
}

} // namespace
