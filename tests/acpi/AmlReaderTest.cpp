// The board's namespace reader, and the reference DSDT through the patch.
#include "sim/acpi/AmlReader.h"
#include "acpi/AmlFixture.h"
#include "sim/acpi/ReferenceDsdt.h"
#include "tpm_platform/acpi/DsdtPatch.h"

#include <gtest/gtest.h>

using namespace acpi_test;

namespace {

struct ReadCase {
  const char *fixture;
  const char *path;
  const char *description; // DescribeAmlName of what the reader finds
};

const ReadCase kReadCases[] = {
    {"zero", "\\QESD", "0x0 (Zero)"},
    {"one", "\\QESD", "0x1 (One)"},
    {"byte", "\\QESD", "0x5 (Byte)"},
    {"word", "\\QESD", "0x1234 (Word)"},
    {"dword", "\\QESD", "0x12345678 (DWord)"},
    {"qword", "\\QESD", "0x123456789ABCDEF (QWord)"},
    {"ones", "\\QESD", "0xFFFFFFFFFFFFFFFF (Ones)"},
    {"string", "\\QESD", "\"ON\" (String)"},
    {"package", "\\QESD", "Package"},
    {"root", "\\QESD", "0x1 (One)"},
    {"refs", "\\QESD", "0x5 (Byte)"},
    {"refs", "\\STR0", "\"QESD\" (String)"},
    {"multiseg", "\\QESD", "not declared"},
    {"multiseg", "\\_SB.QESD", "0x5 (Byte)"},
    {"multiseg", "\\_SB.PCI0._HID", "0x80AD041 (DWord)"},
    {"missing", "\\QESD", "not declared"},
    {"missing", "\\AB", "0x7 (Byte)"},
    {"missing", "\\DEV0._ADR", "0x0 (Zero)"},
};

void PrintTo(const ReadCase &c, std::ostream *os) {
  *os << c.fixture << " " << c.path;
}

class ReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReaderTest, FindsTheLoadTimeObject) {
  const ReadCase &c = GetParam();
  EXPECT_EQ(sim::DescribeAmlName(sim::ReadAmlName(LoadFixture(c.fixture), c.path)), c.description);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReaderTest, ::testing::ValuesIn(kReadCases));

// The byte scan takes the reference behind "0A 08" for the declaration; the
// reader, which walks the namespace, still sees the declared value.
TEST(AmlReader, IsNotFooledByTheByteScan) {
  std::vector<std::uint8_t> table = LoadFixture("afterbyte8");
  ASSERT_EQ(TpmPlatform::PatchDsdtNameValue(table.data(), "QESD", 1), EFI_SUCCESS);
  EXPECT_EQ(sim::DescribeAmlName(sim::ReadAmlName(table, "\\QESD")), "0x5 (Byte)");
}

TEST(AmlReader, RejectsWhatItCannotStepOver) {
  std::vector<std::uint8_t> table = LoadFixture("byte");
  table.resize(table.size() - 1); // the last constant cut off
  EXPECT_THROW(sim::ReadAmlName(table, "\\XYZW"), sim::AmlReadError);
  table = LoadFixture("byte");
  table[36] = 0x70; // a Store at load time
  EXPECT_THROW(sim::ReadAmlName(table, "\\QESD"), sim::AmlReadError);
}

// The reference board's DSDT: the flag is declared once, at the end of a body
// whose TPM device reads it first; the patch sets it and nothing else.
TEST(ReferenceDsdt, PatchSetsTheFlagOnly) {
  const std::vector<std::uint8_t> original(sim::kReferenceDsdtAml,
                                           sim::kReferenceDsdtAml + sim::kReferenceDsdtAmlSize);
  std::vector<std::uint8_t> table = original;
  EXPECT_EQ(sim::DescribeAmlName(sim::ReadAmlName(original, "\\QESD")), "0x0 (Zero)");
  EXPECT_EQ(sim::DescribeAmlName(sim::ReadAmlName(original, "\\_SB.PCI0.LPCB.EC0._GPE")),
            "0x17 (Byte)");

  ASSERT_EQ(TpmPlatform::PatchDsdtNameValue(table.data(), "QESD", 1), EFI_SUCCESS);
  EXPECT_EQ(sim::DescribeAmlName(sim::ReadAmlName(table, "\\QESD")), "0x1 (One)");
  std::size_t differing = 0;
  for (std::size_t i = 0; i < table.size(); ++i)
    differing += table[i] != original[i];
  EXPECT_EQ(differing, 1u);

  const std::vector<std::string> was = Disassemble(original);
  const std::vector<std::string> now = Disassemble(table);
  ExpectOnlyQesdSetToOne(was, now);
}

} // namespace
