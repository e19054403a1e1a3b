// AmlFindObject: the kind table, what a match reports, and the edges of the
// scanned range.
#include "acpi/AmlFixture.h"
#include "tpm_platform/acpi/AmlObject.h"

#include <gtest/gtest.h>

using namespace acpi_test;
using namespace TpmPlatform;

namespace {

constexpr std::size_t kBody = 36;

struct FindCase {
  const char *fixture;
  const char *name;
  UINT32 kind;
  EFI_STATUS status;
  // Bytes from the object start through the data start's first byte.
  const char *object;
  std::size_t nameOffset; // name start - object start
  std::size_t dataOffset; // data start - object start
};

const FindCase kFindCases[] = {
    {"missing", "QESX", AML_KIND_NAME, EFI_SUCCESS, "08 51 45 53 58 01", 1, 5},
    {"root", "QESD", AML_KIND_NAME, EFI_SUCCESS, "08 5C 51 45 53 44 01", 1, 6},
    {"missing", "GNVS", AML_KIND_OPERATION_REGION, EFI_SUCCESS, "5B 80 47 4E 56 53 00", 2, 6},
    // A Name is no OperationRegion and the other way round.
    {"missing", "GNVS", AML_KIND_NAME, EFI_NOT_FOUND, nullptr, 0, 0},
    {"missing", "QESX", AML_KIND_OPERATION_REGION, EFI_NOT_FOUND, nullptr, 0, 0},
    // A package length stands between these opcodes and their names.
    {"missing", "DEV0", AML_KIND_DEVICE, EFI_NOT_FOUND, nullptr, 0, 0},
    {"zero", "_SB_", AML_KIND_SCOPE, EFI_NOT_FOUND, nullptr, 0, 0},
    {"zero", "QCHK", AML_KIND_METHOD, EFI_NOT_FOUND, nullptr, 0, 0},
    // Kinds the table does not list.
    {"missing", "QESX", 0, EFI_NOT_FOUND, nullptr, 0, 0},
    {"missing", "QESX", 2, EFI_NOT_FOUND, nullptr, 0, 0},
    {"missing", "QESX", 10, EFI_NOT_FOUND, nullptr, 0, 0},
    // Field units and multi-segment paths are no NameOp declarations.
    {"missing", "QES0", AML_KIND_NAME, EFI_NOT_FOUND, nullptr, 0, 0},
    {"multiseg", "QESD", AML_KIND_NAME, EFI_NOT_FOUND, nullptr, 0, 0},
};

void PrintTo(const FindCase &c, std::ostream *os) {
  *os << c.fixture << " " << c.name << " kind " << c.kind;
}

class FindTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTest, ReportsTheDeclaration) {
  const FindCase &c = GetParam();
  std::vector<std::uint8_t> table = LoadFixture(c.fixture);
  UINT8 *body = table.data() + kBody;
  AmlObjectInfo info{};
  ASSERT_EQ(AmlFindObject(body, table.size() - kBody, c.name, c.kind, &info), c.status);
  if (c.status != EFI_SUCCESS)
    return;
  const std::size_t at = Find(table, Hex(c.object));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(info.ObjectStart, table.data() + at);
  EXPECT_EQ(info.NameStart, info.ObjectStart + c.nameOffset);
  EXPECT_EQ(info.DataStart, info.ObjectStart + c.dataOffset);
  EXPECT_EQ(info.Kind, c.kind);
  EXPECT_EQ(info.Length, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FindTest, ::testing::ValuesIn(kFindCases));

// The scan looks at no byte outside the range: a NameOp just before it or a
// NameSeg running past its end does not count.
TEST(AmlFindObject, StaysInsideTheRange) {
  UINT8 bytes[] = {0x08, 'Q', 'E', 'S', 'D', 0x01, 0x08, 0x5C, 'Q', 'E', 'S', 'D', 0x00};
  AmlObjectInfo info{};
  EXPECT_EQ(AmlFindObject(bytes + 1, 5, "QESD", AML_KIND_NAME, &info), EFI_NOT_FOUND);
  EXPECT_EQ(AmlFindObject(bytes + 1, 10, "QESD", AML_KIND_NAME, &info), EFI_NOT_FOUND);
  ASSERT_EQ(AmlFindObject(bytes + 1, 11, "QESD", AML_KIND_NAME, &info), EFI_SUCCESS);
  EXPECT_EQ(info.ObjectStart, bytes + 6);
  EXPECT_EQ(info.NameStart, bytes + 7);
  EXPECT_EQ(info.DataStart, bytes + 12);
  ASSERT_EQ(AmlFindObject(bytes, 5, "QESD", AML_KIND_NAME, &info), EFI_SUCCESS);
  EXPECT_EQ(info.DataStart, bytes + 5);
  EXPECT_EQ(AmlFindObject(bytes, 3, "QESD", AML_KIND_NAME, &info), EFI_NOT_FOUND);
  EXPECT_EQ(AmlFindObject(bytes, sizeof bytes, "QESDQ", AML_KIND_NAME, &info),
            EFI_INVALID_PARAMETER);
}

// A root or parent prefix may stand between the opcode and the name; the
// declaration then starts at the opcode and the name at the prefix.
TEST(AmlFindObject, NameAfterARootOrParentPrefix) {
  for (UINT8 prefix : {UINT8(0x5C), UINT8(0x5E)}) {
    UINT8 bytes[] = {0x10, 0x08, prefix, 'Q', 'E', 'S', 'D', 0x0A, 0x01};
    AmlObjectInfo info{};
    ASSERT_EQ(AmlFindObject(bytes, sizeof bytes, "QESD", AML_KIND_NAME, &info), EFI_SUCCESS)
        << int(prefix);
    EXPECT_EQ(info.ObjectStart, bytes + 1) << int(prefix);
    EXPECT_EQ(info.NameStart, bytes + 2) << int(prefix);
    EXPECT_EQ(info.DataStart, bytes + 7) << int(prefix);
  }
}

} // namespace
