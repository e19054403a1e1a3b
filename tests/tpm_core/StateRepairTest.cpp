// Start-up repair of "ZELTCGPPIVAR", "TCG" and CMOS 0x6F from every starting
// state: absent, short, long (unreadable) and ordinary variables.
#include "tpm_core/TestBoard.h"

#include <gtest/gtest.h>

namespace tpmtest {
namespace {

struct RepairCase {
  const char *Name;
  std::optional<Bytes> Ppi, Tcg, Mfg;
  Bytes ExpectPpi, ExpectTcg;
};

class StateRepair : public ::testing::TestWithParam<RepairCase> {};

TEST_P(StateRepair, StartupLeavesTheseBytes) {
  const RepairCase &c = GetParam();
  json initial = json::array();
  if (c.Ppi)
    initial.push_back(Variable("ZELTCGPPIVAR", kPpiGuid, *c.Ppi));
  if (c.Tcg)
    initial.push_back(Variable("TCG", kTcgGuid, *c.Tcg));
  if (c.Mfg)
    initial.push_back(Variable("OrvMfgData", kMfgGuid, *c.Mfg));
  // No TPM: these variables do not depend on it, and the boots stay fast.
  TestBoard board({{"variables", {{"initial", initial}}},
                   {"cmos", {{"initial", {{"0x6F", 1}}}}},
                   {"tpm", {{"present", false}}}});
  board->Boot();
  EXPECT_EQ(board.Var(kPpiRequestVariableName, gPpiRequestVariableGuid), c.ExpectPpi);
  EXPECT_EQ(board.Var(kTcgStateVariableName, gTcgStateVariableGuid), c.ExpectTcg);
  EXPECT_EQ(board->Variables().Find(kPpiRequestVariableName, gPpiRequestVariableGuid)->Attributes,
            7u);
  EXPECT_EQ(board->Cmos().Get(0x6F), 0);
  // "OrvMfgData" is only read.
  EXPECT_EQ(board.Var(kMfgDataVariableName, gMfgDataVariableGuid), c.Mfg);
}

const Bytes kTcgClean = {0, 0, 0, 0, 1, 0};

INSTANTIATE_TEST_SUITE_P(
    Variables, StateRepair,
    ::testing::Values(
        RepairCase{"first_boot", {}, {}, {}, {0, 0, 0, 0, 0}, kTcgClean},
        RepairCase{"request_byte_cleared_rest_kept",
                   Bytes{5, 5, 0xF0, 7, 0xFF},
                   {},
                   {},
                   {0, 5, 0xF0, 7, 0xFF},
                   kTcgClean},
        // A short variable reads fine; it is written back at its full size.
        RepairCase{"short_request_variable", Bytes{9, 9}, {}, {}, {0, 9, 0, 0, 0}, kTcgClean},
        // Too long for the 5-byte reader: unreadable, rewritten from zeros.
        RepairCase{"long_request_variable",
                   Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9},
                   {},
                   {},
                   {0, 0, 0, 0, 0},
                   kTcgClean},
        RepairCase{"tcg_rebuilt_from_mfg_state",
                   {},
                   {},
                   Bytes{0, 5, 0, 0, 0, 0, 0},
                   {0, 0, 0, 0, 0},
                   {0, 1, 0, 0, 1, 0}},
        RepairCase{"tcg_bytes_0_1_kept_without_mfg_data",
                   {},
                   Bytes{0xAA, 0xBB, 1, 0xCC, 2, 7},
                   {},
                   {0, 0, 0, 0, 0},
                   {0xAA, 0xBB, 0, 0xCC, 1, 0}},
        RepairCase{"tcg_bytes_0_1_follow_mfg_state_0",
                   {},
                   Bytes{0xAA, 0xBB, 1, 0xCC, 2, 7},
                   Bytes{9, 0, 9, 9, 9, 9, 9},
                   {0, 0, 0, 0, 0},
                   {1, 0, 0, 0xCC, 1, 0}},
        RepairCase{"long_tcg_is_rebuilt",
                   {},
                   Bytes{1, 1, 1, 1, 1, 1, 1, 1},
                   Bytes{0, 1},
                   {0, 0, 0, 0, 0},
                   {0, 1, 0, 0, 1, 0}},
        RepairCase{"short_tcg_padded",
                   {},
                   Bytes{0x11, 0x22, 1},
                   {},
                   {0, 0, 0, 0, 0},
                   {0x11, 0x22, 0, 0, 1, 0}},
        // A short "OrvMfgData" still has its byte 1; a long one is unreadable.
        RepairCase{"short_mfg_data",
                   {},
                   Bytes{3, 3, 3, 3, 3, 3},
                   Bytes{0, 7},
                   {0, 0, 0, 0, 0},
                   {0, 1, 0, 3, 1, 0}},
        RepairCase{"one_byte_mfg_data_ignored",
                   {},
                   Bytes{3, 3, 3, 3, 3, 3},
                   Bytes{7},
                   {0, 0, 0, 0, 0},
                   {3, 3, 0, 3, 1, 0}},
        RepairCase{"long_mfg_data_ignored",
                   {},
                   Bytes{3, 3, 3, 3, 3, 3},
                   Bytes{0, 0, 0, 0, 0, 0, 0, 0},
                   {0, 0, 0, 0, 0},
                   {3, 3, 0, 3, 1, 0}}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
} // namespace tpmtest
