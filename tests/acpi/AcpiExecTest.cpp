// The DSDT as an operating system's ACPI interpreter reads it: ACPICA's
// acpiexec evaluates the TPM device's _STA and QESD in the table before and
// after TpmPlatformDxe's start-up, with "Setup" byte 599 asking for the flag
// or not.
#include "sim/acpi/AcpiExec.h"
#include "Platform/SetupData.h"
#include "acpi/AmlFixture.h"
#include "sim/acpi/AcpiBoard.h"
#include "sim/acpi/AcpiTables.h"
#include "sim/board/Board.h"
#include "sim/report/SectionViews.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace acpi_test;
using sim::json;

namespace {

constexpr const char *kQesd = "\\QESD";

struct InterpreterCase {
  const char *name;
  const char *dsdt; // "reference" or a fixture's name
  const char *tpmDevice;
  int setup599;
  const char *qesdBefore, *qesdAfter;
  const char *staBefore, *staAfter;
};

const InterpreterCase kCases[] = {
    {"reference_asked", "reference", "\\_SB.PCI0.LPCB.TPM", 1, "0x00", "0x01", "0x00", "0x0F"},
    {"reference_not_asked", "reference", "\\_SB.PCI0.LPCB.TPM", 0, "0x00", "0x00", "0x00", "0x00"},
    {"tpm_byte_asked", "tpm_byte", "\\_SB.TPM", 1, "0x05", "0x01", "0x00", "0x0F"},
    {"tpm_byte_not_asked", "tpm_byte", "\\_SB.TPM", 0, "0x05", "0x05", "0x00", "0x00"},
    // Fixtures without a TPM device: the flag alone.
    {"zero_asked", "zero", "\\_SB.TPM", 1, "0x00", "0x01", "fails (AE_NOT_FOUND)",
     "fails (AE_NOT_FOUND)"},
    {"one_not_asked", "one", "\\_SB.TPM", 0, "0x01", "0x01", "fails (AE_NOT_FOUND)",
     "fails (AE_NOT_FOUND)"},
    {"word_asked", "word", "\\_SB.TPM", 1, "0x1234", "0x01", "fails (AE_NOT_FOUND)",
     "fails (AE_NOT_FOUND)"},
    {"qword_asked", "qword", "\\_SB.TPM", 1, "0x123456789ABCDEF", "0x01", "fails (AE_NOT_FOUND)",
     "fails (AE_NOT_FOUND)"},
    // Encodings the patch leaves alone: the interpreter still reads the old value.
    {"ones_asked", "ones", "\\_SB.TPM", 1, "0xFFFFFFFFFFFFFFFF", "0xFFFFFFFFFFFFFFFF",
     "fails (AE_NOT_FOUND)", "fails (AE_NOT_FOUND)"},
    {"string_asked", "string", "\\_SB.TPM", 1, "[String] Length 02 = \"ON\"",
     "[String] Length 02 = \"ON\"", "fails (AE_NOT_FOUND)", "fails (AE_NOT_FOUND)"},
    // The byte scan takes "0A 08 QESD" inside QADD for the declaration: the
    // interpreter still reads 5 after the patch.
    {"afterbyte8_asked", "afterbyte8", "\\_SB.TPM", 1, "0x05", "0x05", "fails (AE_NOT_FOUND)",
     "fails (AE_NOT_FOUND)"},
};

void PrintTo(const InterpreterCase &c, std::ostream *os) {
  *os << c.name;
}

json SetupVariable(int byte599) {
  return {{"name", "Setup"},
          {"guid", "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9"},
          {"size", kSetupDataSize},
          {"set", {{"599", byte599}}}};
}

class BootedBoard {
public:
  BootedBoard(const std::string &name, const std::string &dsdt, const std::string &tpmDevice,
              int setup599)
      : state_(std::filesystem::path(::testing::TempDir()) /
               ("acpiexec-" + std::to_string(::getpid()) + "-" + name)) {
    std::filesystem::remove_all(state_);
    json board = json::parse(sim::kReferenceBoardJson);
    board["acpi"] = json::object();
    if (dsdt != "reference")
      board["acpi"]["dsdt"] = std::string(ACPI_FIXTURE_DIR) + "/" + dsdt + ".aml";
    board["acpi"]["tpm_device"] = tpmDevice;
    board["drivers"]["button_smm"]["load"] = false;
    board["variables"]["initial"] = json::array({SetupVariable(setup599)});
    board_ = std::make_unique<sim::Board>(sim::BoardConfig::FromText(board.dump(), name + ".json"),
                                          state_);
  }
  ~BootedBoard() {
    board_.reset();
    std::filesystem::remove_all(state_);
  }
  sim::Board &Board() { return *board_; }
  sim::AcpiBoard &Acpi() { return *board_->Find<sim::AcpiBoard>(); }

private:
  std::filesystem::path state_;
  std::unique_ptr<sim::Board> board_;
};

class InterpreterTest : public ::testing::TestWithParam<InterpreterCase> {
protected:
  void SetUp() override {
    if (!sim::FindAcpiExec())
      GTEST_SKIP() << "acpiexec not installed (Debian acpica-tools)";
  }
};

TEST_P(InterpreterTest, ReadsWhatTheFlagSelects) {
  const InterpreterCase &c = GetParam();
  BootedBoard booted(c.name, c.dsdt, c.tpmDevice, c.setup599);
  ASSERT_EQ(booted.Board().Boot().Outcome, sim::BootOutcome::Completed);
  const std::string sta = std::string(c.tpmDevice) + "._STA";
  const sim::AcpiBytes before = booted.Acpi().PristineDsdt();
  const sim::AcpiBytes after = booted.Acpi().CurrentDsdt(booted.Board());

  const sim::AcpiExecResult was = sim::EvaluateWithAcpiExec(before, {sta, kQesd});
  const sim::AcpiExecResult is = sim::EvaluateWithAcpiExec(after, {sta, kQesd});
  ASSERT_EQ(was.Outcome, sim::AcpiExecResult::State::Evaluated) << was.Detail;
  ASSERT_EQ(is.Outcome, sim::AcpiExecResult::State::Evaluated) << is.Detail;
  EXPECT_EQ(sim::DescribeAcpiExecValue(was, kQesd), c.qesdBefore);
  EXPECT_EQ(sim::DescribeAcpiExecValue(is, kQesd), c.qesdAfter);
  EXPECT_EQ(sim::DescribeAcpiExecValue(was, sta), c.staBefore);
  EXPECT_EQ(sim::DescribeAcpiExecValue(is, sta), c.staAfter);

  // The patch keeps the checksum; only the interpreter's copy is corrected.
  EXPECT_FALSE(was.ChecksumFixed);
  EXPECT_EQ(is.ChecksumFixed, before != after);
  EXPECT_EQ(sim::AcpiChecksumValid(after), before == after);
}

INSTANTIATE_TEST_SUITE_P(Acpiexec, InterpreterTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Acpiexec, BatchModeAgreesWithCommandsOnInput) {
  if (!sim::FindAcpiExec())
    GTEST_SKIP() << "acpiexec not installed";
  BootedBoard booted("batch", "reference", "\\_SB.PCI0.LPCB.TPM", 1);
  ASSERT_EQ(booted.Board().Boot().Outcome, sim::BootOutcome::Completed);
  const sim::AcpiBytes after = booted.Acpi().CurrentDsdt(booted.Board());
  const std::vector<std::string> paths = {"\\_SB.PCI0.LPCB.TPM._STA", kQesd, "\\_SB.LID0._LID"};
  sim::AcpiExecOptions batch;
  batch.BatchMode = true;
  const sim::AcpiExecResult viaInput = sim::EvaluateWithAcpiExec(after, paths);
  const sim::AcpiExecResult viaBatch = sim::EvaluateWithAcpiExec(after, paths, batch);
  for (const std::string &path : paths)
    EXPECT_EQ(sim::DescribeAcpiExecValue(viaBatch, path),
              sim::DescribeAcpiExecValue(viaInput, path))
        << path;
  EXPECT_EQ(sim::DescribeAcpiExecValue(viaBatch, "\\_SB.PCI0.LPCB.TPM._STA"), "0x0F");
}

TEST(Acpiexec, TablesItCannotEvaluate) {
  if (!sim::FindAcpiExec())
    GTEST_SKIP() << "acpiexec not installed";
  const sim::AcpiBytes reference = LoadFixture("zero");
  struct Case {
    const char *name;
    sim::AcpiBytes table;
    sim::AcpiExecOptions options;
    sim::AcpiExecResult::State outcome;
    const char *qesd;
  };
  sim::AcpiExecOptions missing;
  missing.Program = "/nonexistent/acpiexec";
  sim::AcpiBytes cut(reference.begin(), reference.begin() + 36); // header claims more
  sim::AcpiBytes tiny(reference.begin(), reference.begin() + 8);
  sim::AcpiBytes notAml = reference; // acpiexec loads an empty DSDT of its own instead
  std::copy_n("FOOO", 4, notAml.begin());
  const Case cases[] = {
      {"not installed", reference, missing, sim::AcpiExecResult::State::NotInstalled,
       "not evaluated (acpiexec not installed)"},
      {"shorter than a header", tiny, {}, sim::AcpiExecResult::State::NotLoaded, nullptr},
      {"body missing", cut, {}, sim::AcpiExecResult::State::NotLoaded, nullptr},
      {"not an AML table", notAml, {}, sim::AcpiExecResult::State::NotLoaded, nullptr},
      {"intact", reference, {}, sim::AcpiExecResult::State::Evaluated, "0x00"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const sim::AcpiExecResult r = sim::EvaluateWithAcpiExec(c.table, {kQesd}, c.options);
    EXPECT_EQ(r.Outcome, c.outcome) << r.Detail;
    const std::string described = sim::DescribeAcpiExecValue(r, kQesd);
    if (c.qesd != nullptr)
      EXPECT_EQ(described, c.qesd);
    else
      EXPECT_EQ(described.rfind("not evaluated (acpiexec did not load the table", 0), 0u)
          << described;
  }
}

// platsim boot's view: the ACPI section carries the evaluated _STA beside QESD.
TEST(Acpiexec, ReportShowsEvaluatedStaBesideQesd) {
  if (!sim::FindAcpiExec())
    GTEST_SKIP() << "acpiexec not installed";
  BootedBoard booted("report", "reference", "\\_SB.PCI0.LPCB.TPM", 1);
  booted.Acpi().SetInterpreterEvaluation(true);
  ASSERT_EQ(booted.Board().Boot().Outcome, sim::BootOutcome::Completed);
  const sim::ReportSection *section = booted.Board().Reports().Boots().back().Find("acpi");
  ASSERT_NE(section, nullptr);
  const json &data = section->Data["acpiexec"];
  EXPECT_EQ(data["before"]["sta_value"], 0);
  EXPECT_EQ(data["after"]["sta_value"], 0x0F);
  EXPECT_EQ(data["after"]["qesd"], "0x01");
  EXPECT_EQ(data["after"]["checksum_fixed_on_copy"], true);
  sim::report::Lines lines;
  sim::report::FindSectionView("acpi")->Render(section->Data, 2, lines);
  EXPECT_TRUE(HasLine(lines, "QESD after start-up:  0x1 (One); "
                             "\\_SB.PCI0.LPCB.TPM._STA 0x0F, QESD 0x01 (acpiexec)"));
  EXPECT_TRUE(HasLine(lines, "QESD before start-up: 0x0 (Zero); "
                             "\\_SB.PCI0.LPCB.TPM._STA 0x00, QESD 0x00 (acpiexec)"));
}

} // namespace
