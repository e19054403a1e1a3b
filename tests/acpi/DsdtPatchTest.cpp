// PatchDsdtNameValue over iasl-compiled tables: the exact bytes it writes, and
// what `iasl -d` reads back from the patched table.
#include "tpm_platform/acpi/DsdtPatch.h"
#include "acpi/AmlFixture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace acpi_test;
using TpmPlatform::PatchDsdtNameValue;

namespace {

constexpr const char *kQesd = "51 45 53 44";

struct PatchCase {
  const char *fixture;
  UINT64 value;
  EFI_STATUS status;
  // The bytes around the constant before and after the patch ("" for a
  // failure: the table must stay as it was).
  std::string before;
  std::string after;
  // A line the disassembly of the patched table must show.
  const char *line;
};

std::string Q(const char *prefix, const char *suffix) {
  return std::string(prefix) + " " + kQesd + " " + suffix;
}

const PatchCase kPatchCases[] = {
    {"zero", 1, EFI_SUCCESS, Q("08", "00"), Q("08", "01"), "Name (QESD, One)"},
    {"zero", 0, EFI_SUCCESS, Q("08", "00"), Q("08", "00"), "Name (QESD, Zero)"},
    {"one", 1, EFI_SUCCESS, Q("08", "01"), Q("08", "01"), "Name (QESD, One)"},
    {"one", 0, EFI_SUCCESS, Q("08", "01"), Q("08", "00"), "Name (QESD, Zero)"},
    {"byte", 1, EFI_SUCCESS, Q("08", "0A 05"), Q("08", "0A 01"), "Name (QESD, 0x01)"},
    {"byte", 0x1234, EFI_SUCCESS, Q("08", "0A 05"), Q("08", "0A 34"), "Name (QESD, 0x34)"},
    {"word", 1, EFI_SUCCESS, Q("08", "0B 34 12"), Q("08", "0B 01 00"), "Name (QESD, 0x0001)"},
    {"word", 0xABCDEF, EFI_SUCCESS, Q("08", "0B 34 12"), Q("08", "0B EF CD"),
     "Name (QESD, 0xCDEF)"},
    {"dword", 1, EFI_SUCCESS, Q("08", "0C 78 56 34 12"), Q("08", "0C 01 00 00 00"),
     "Name (QESD, 0x00000001)"},
    {"qword", 1, EFI_SUCCESS, Q("08", "0E EF CD AB 89 67 45 23 01"),
     Q("08", "0E 01 00 00 00 00 00 00 00"), "Name (QESD, 0x0000000000000001)"},
    {"qword", 0xFEDCBA9876543210, EFI_SUCCESS, Q("08", "0E EF CD AB 89 67 45 23 01"),
     Q("08", "0E 10 32 54 76 98 BA DC FE"), "Name (QESD, 0xFEDCBA9876543210)"},
    {"root", 1, EFI_SUCCESS, Q("08 5C", "01"), Q("08 5C", "01"), "Name (\\QESD, One)"},
    {"root", 0, EFI_SUCCESS, Q("08 5C", "01"), Q("08 5C", "00"), "Name (\\QESD, Zero)"},
    {"refs", 1, EFI_SUCCESS, Q("08", "0A 05"), Q("08", "0A 01"), "Name (QESD, 0x01)"},
    // The reference behind the byte constant 8 is taken for the declaration:
    // Add's target (a NullName, 00) is rewritten as if it were Zero, and the
    // real declaration keeps its value.
    {"afterbyte8", 1, EFI_SUCCESS, Q("72 0A 08", "00"), Q("72 0A 08", "01"), "Name (QESD, 0x05)"},
    {"zero", 2, EFI_INVALID_PARAMETER, "", "", nullptr},
    {"one", 0x100, EFI_INVALID_PARAMETER, "", "", nullptr},
    {"ones", 1, EFI_INVALID_PARAMETER, "", "", nullptr},
    {"string", 1, EFI_INVALID_PARAMETER, "", "", nullptr},
    {"package", 1, EFI_INVALID_PARAMETER, "", "", nullptr},
    {"multiseg", 1, EFI_NOT_FOUND, "", "", nullptr},
    {"missing", 1, EFI_NOT_FOUND, "", "", nullptr},
};

void PrintTo(const PatchCase &c, std::ostream *os) {
  *os << c.fixture << " <- " << c.value;
}

class PatchTest : public ::testing::TestWithParam<PatchCase> {};

TEST_P(PatchTest, WritesOnlyTheConstant) {
  const PatchCase &c = GetParam();
  const std::vector<std::uint8_t> original = LoadFixture(c.fixture);
  std::vector<std::uint8_t> table = original;

  ASSERT_EQ(PatchDsdtNameValue(table.data(), "QESD", c.value), c.status);
  if (c.status != EFI_SUCCESS) {
    EXPECT_EQ(table, original);
    return;
  }

  // Byte oracle: the original with exactly the expected run rewritten.
  const std::size_t at = Find(original, Hex(c.before));
  ASSERT_NE(at, std::string::npos) << c.before;
  std::vector<std::uint8_t> expected = original;
  const std::vector<std::uint8_t> after = Hex(c.after);
  std::copy(after.begin(), after.end(), expected.begin() + std::ptrdiff_t(at));
  EXPECT_EQ(table, expected);

  // Disassembly oracle: the expected declaration, and no line changed but
  // the rewritten one.
  const std::vector<std::string> was = Disassemble(original);
  const std::vector<std::string> now = Disassemble(table);
  EXPECT_TRUE(HasLine(now, c.line)) << c.line;
  ASSERT_EQ(was.size(), now.size());
  std::size_t changed = 0;
  for (std::size_t i = 0; i < was.size(); ++i)
    changed += was[i] != now[i];
  EXPECT_EQ(changed, c.before == c.after ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PatchTest, ::testing::ValuesIn(kPatchCases));

// A declaration at the very end of the body whose constant is cut off by the
// table's Length: nothing may be written at or beyond the end of the table.
TEST(PatchDsdtNameValue, ConstantCutOffByTableEnd) {
  const std::vector<std::uint8_t> full = LoadFixture("dword"); // ends in 0C 78 56 34 12
  for (std::size_t cut = 0; cut <= 5; ++cut) {
    std::vector<std::uint8_t> table(full.begin(), full.end() - std::ptrdiff_t(cut));
    const UINT32 length = UINT32(table.size());
    std::memcpy(table.data() + 4, &length, 4);
    const std::vector<std::uint8_t> original = table;
    EXPECT_EQ(PatchDsdtNameValue(table.data(), "QESD", 1),
              cut == 0 ? EFI_SUCCESS : EFI_INVALID_PARAMETER)
        << "cut " << cut;
    if (cut != 0)
      EXPECT_EQ(table, original) << "cut " << cut;
  }
}

TEST(PatchDsdtNameValue, RejectsBadTablesAndNames) {
  std::vector<std::uint8_t> table = LoadFixture("byte");
  const std::vector<std::uint8_t> original = table;
  // A name of five characters is no NameSeg; "QESDX" must not match QESD.
  EXPECT_EQ(PatchDsdtNameValue(table.data(), "QESDX", 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(PatchDsdtNameValue(table.data(), nullptr, 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(PatchDsdtNameValue(nullptr, "QESD", 1), EFI_INVALID_PARAMETER);
  EXPECT_EQ(table, original);
  // No body to scan: a Length of 36 or less, however the bytes behind it look.
  for (UINT32 length : {0u, 8u, 36u}) {
    std::vector<std::uint8_t> header = original;
    std::memcpy(header.data() + 4, &length, 4);
    const std::vector<std::uint8_t> before = header;
    EXPECT_EQ(PatchDsdtNameValue(header.data(), "QESD", 1), EFI_NOT_FOUND) << length;
    EXPECT_EQ(header, before);
  }
}

// A short name is padded with '_': AB finds the NameSeg AB__.
TEST(PatchDsdtNameValue, ShortNameIsPadded) {
  std::vector<std::uint8_t> table = LoadFixture("missing");
  const std::vector<std::uint8_t> original = table;
  ASSERT_EQ(PatchDsdtNameValue(table.data(), "AB", 9), EFI_SUCCESS);
  const std::size_t at = Find(original, Hex("08 41 42 5F 5F 0A 07"));
  ASSERT_NE(at, std::string::npos);
  std::vector<std::uint8_t> expected = original;
  expected[at + 6] = 9;
  EXPECT_EQ(table, expected);
  EXPECT_TRUE(HasLine(Disassemble(table), "Name (AB, 0x09)"));
}

} // namespace
