// "Setup" kept in line with the TPM flags: the table of starting bytes and
// flags, and proof that no byte but the named ones ever changes.
#include "tpm_core/TestBoard.h"
#include "tpm_platform/core/StateVariables.h"

#include <gtest/gtest.h>

namespace tpmtest {
namespace {

using namespace TpmPlatform;

class SetupSync : public ::testing::Test {
protected:
  void Start(std::optional<Bytes> setup, unsigned attributes = 7) {
    json initial = json::array();
    if (setup)
      initial.push_back(Variable("Setup", kSetupGuid, *setup, attributes));
    board_.emplace(ServicesOnly(initial));
    (*board_)->Boot();
    board_->BindDriver();
  }
  std::optional<TestBoard> board_;
};

struct SyncCase {
  const char *Name;
  UINT8 Disable, Deactivated, Owned;
  std::initializer_list<std::pair<size_t, uint8_t>> Before, After;
  bool Written;
};

TEST_F(SetupSync, TableOfCases) {
  const SyncCase cases[] = {
      {"in line: nothing written",
       0,
       0,
       0,
       {{32, 1}, {33, 1}, {34, 0}, {600, 0}, {602, 1}, {604, 7}},
       {},
       false},
      {"byte 600 set clears 604",
       0,
       0,
       0,
       {{32, 1}, {33, 1}, {34, 0}, {600, 2}, {602, 1}, {604, 3}},
       {{604, 0}},
       true},
      {"byte 600 clear leaves 604",
       0,
       0,
       0,
       {{32, 1}, {33, 1}, {34, 0}, {600, 0}, {602, 1}, {604, 3}},
       {},
       false},
      {"disabled: 602 alone mismatching rewrites both",
       1,
       0,
       0,
       {{32, 0}, {33, 1}, {34, 0}, {600, 0}, {602, 1}},
       {{32, 0}, {602, 0}},
       true},
      {"enabled: 32 alone mismatching rewrites both",
       0,
       0,
       0,
       {{32, 0}, {33, 1}, {34, 0}, {600, 0}, {602, 1}},
       {{32, 1}, {602, 1}},
       true},
      // Values other than 0 and 1 are not the flag either, so they stay.
      {"enable bytes 5 and 9 left alone",
       0,
       0,
       0,
       {{32, 5}, {33, 1}, {34, 0}, {600, 0}, {602, 9}},
       {},
       false},
      {"no TPM: everything enabled, activated, unowned",
       0,
       0,
       0,
       {{32, 0}, {33, 0}, {34, 1}, {600, 0}, {602, 0}},
       {{32, 1}, {33, 1}, {34, 0}, {602, 1}},
       true},
      {"deactivated", 0, 1, 0, {{32, 1}, {33, 1}, {34, 0}, {600, 0}, {602, 1}}, {{33, 0}}, true},
      {"owned flag copied as read",
       0,
       0,
       5,
       {{32, 1}, {33, 1}, {34, 1}, {600, 0}, {602, 1}},
       {{34, 5}},
       true},
  };
  for (const SyncCase &c : cases) {
    SCOPED_TRACE(c.Name);
    Bytes before = SetupBytes(c.Before);
    Start(before, 3);
    gTpmFlagsCache.Disable = c.Disable;
    gTpmFlagsCache.Deactivated = c.Deactivated;
    gTpmOwnedFlag = c.Owned;
    EXPECT_EQ(SyncSetupWithTpm(), EFI_SUCCESS);
    Bytes expect = before;
    for (auto [offset, value] : c.After)
      expect[offset] = value;
    EXPECT_EQ(board_->Setup(), expect);
    EXPECT_EQ(board_->Writes(kSetupVariableName), c.Written ? 1u : 0u);
    // Written back with the attributes it had.
    EXPECT_EQ((*board_)->Variables().Find(kSetupVariableName, gSetupVariableGuid)->Attributes, 3u);
  }
}

TEST_F(SetupSync, UnreadableOrAbsentSetupIsLeftAlone) {
  Start(std::nullopt);
  EXPECT_EQ(SyncSetupWithTpm(), EFI_NOT_FOUND);
  EXPECT_EQ(board_->Writes(kSetupVariableName), 0u);

  Start(SetupBytes({}, kSetupDataSize + 1));
  EXPECT_EQ(SyncSetupWithTpm(), EFI_BUFFER_TOO_SMALL);
  UpdateSetupTpmEnable(TRUE);
  EXPECT_EQ(board_->Writes(kSetupVariableName), 0u);

  // A failing write is reported.
  Start(SetupBytes({{32, 0}}));
  (*board_)->Faults().FailEvery("SetVariable:Setup", EFI_WRITE_PROTECTED);
  EXPECT_EQ(SyncSetupWithTpm(), EFI_WRITE_PROTECTED);
}

TEST_F(SetupSync, ShortSetupIsWrittenBackAtItsOwnSize) {
  Bytes before = SetupBytes({{32, 0}, {33, 0}, {34, 1}}, 40);
  Start(before);
  EXPECT_EQ(SyncSetupWithTpm(), EFI_SUCCESS);
  Bytes expect = before;
  expect[32] = 1;
  expect[33] = 1;
  expect[34] = 0;
  EXPECT_EQ(board_->Setup(), expect);
}

TEST_F(SetupSync, UpdateSetupTpmEnableOnlyFlipsByte602) {
  struct Case {
    BOOLEAN Disabled;
    uint8_t Before, After;
  };
  const Case cases[] = {{TRUE, 1, 0},  {TRUE, 0, 0},  {TRUE, 2, 2},
                        {FALSE, 0, 1}, {FALSE, 1, 1}, {FALSE, 2, 2}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Disabled) << " " << int(c.Before));
    Bytes before = SetupBytes({{602, c.Before}, {32, 0x77}});
    Start(before);
    UpdateSetupTpmEnable(c.Disabled);
    Bytes expect = before;
    expect[602] = c.After;
    EXPECT_EQ(board_->Setup(), expect);
    EXPECT_EQ(board_->Writes(kSetupVariableName), c.Before != c.After ? 1u : 0u);
  }
}

} // namespace
} // namespace tpmtest
