#include "BoardFixture.h"

#include "sim/core/Errors.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr EFI_GUID kVendor = {
    0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};
constexpr UINT32 kNvBsRt =
    EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
constexpr UINT32 kBs = EFI_VARIABLE_BOOTSERVICE_ACCESS;

using VariableTest = simtest::BoardTest;

std::vector<UINT8> Read(EFI_RUNTIME_SERVICES *rt, const CHAR16 *name, EFI_STATUS *status,
                        UINT32 *attributes = nullptr) {
  std::vector<UINT8> data(64);
  UINTN size = data.size();
  *status = rt->GetVariable(name, &kVendor, attributes, &size, data.data());
  data.resize(*status == EFI_SUCCESS ? size : 0);
  return data;
}

TEST_F(VariableTest, GetReportsTheSizeItNeeds) {
  const UINT8 value[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(rt_->SetVariable(u"TCG", &kVendor, kNvBsRt, 5, value), EFI_SUCCESS);
  UINT8 buffer[8] = {};
  UINTN size = 4;
  UINT32 attributes = 0;
  EXPECT_EQ(rt_->GetVariable(u"TCG", &kVendor, &attributes, &size, buffer), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(attributes, kNvBsRt);
  EXPECT_EQ(buffer[0], 0); // nothing copied
  size = 8;
  EXPECT_EQ(rt_->GetVariable(u"TCG", &kVendor, nullptr, &size, buffer), EFI_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(std::memcmp(buffer, value, 5), 0);
  size = 8;
  EXPECT_EQ(rt_->GetVariable(u"TCG", &kVendor, nullptr, &size, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(rt_->GetVariable(u"TCG", &kVendor, nullptr, nullptr, buffer), EFI_INVALID_PARAMETER);
  EXPECT_EQ(rt_->GetVariable(u"TCG", &gEfiGlobalVariableGuid, nullptr, &size, buffer),
            EFI_NOT_FOUND);
  EXPECT_EQ(rt_->GetVariable(u"", &kVendor, nullptr, &size, buffer), EFI_NOT_FOUND);
}

TEST_F(VariableTest, SetVariableSemantics) {
  const UINT8 one = 1, two[2] = {2, 2};
  struct Step {
    const char *what;
    UINT32 attributes;
    UINTN size;
    const VOID *data;
    EFI_STATUS expected;
    std::vector<UINT8> after; // empty: absent afterwards
  } steps[] = {
      {"create", kNvBsRt, 1, &one, EFI_SUCCESS, {1}},
      {"rewrite larger", kNvBsRt, 2, two, EFI_SUCCESS, {2, 2}},
      {"other attributes refused", kBs, 1, &one, EFI_INVALID_PARAMETER, {2, 2}},
      {"runtime without boot-service access",
       EFI_VARIABLE_RUNTIME_ACCESS,
       1,
       &one,
       EFI_INVALID_PARAMETER,
       {2, 2}},
      {"data missing", kNvBsRt, 1, nullptr, EFI_INVALID_PARAMETER, {2, 2}},
      {"append", kNvBsRt | EFI_VARIABLE_APPEND_WRITE, 1, &one, EFI_SUCCESS, {2, 2, 1}},
      {"delete by size 0", kNvBsRt, 0, nullptr, EFI_SUCCESS, {}},
      {"delete again", kNvBsRt, 0, nullptr, EFI_NOT_FOUND, {}},
      {"recreate", kNvBsRt, 1, &one, EFI_SUCCESS, {1}},
      {"delete with other attributes", kBs, 0, nullptr, EFI_INVALID_PARAMETER, {1}},
      {"delete by attributes 0", 0, 1, &one, EFI_SUCCESS, {}},
      {"authenticated write",
       kNvBsRt | EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS,
       1,
       &one,
       EFI_UNSUPPORTED,
       {}},
  };
  for (const auto &s : steps) {
    EXPECT_EQ(rt_->SetVariable(u"Setup", &kVendor, s.attributes, s.size, s.data), s.expected)
        << s.what;
    EFI_STATUS status;
    auto data = Read(rt_, u"Setup", &status);
    EXPECT_EQ(status, s.after.empty() ? EFI_NOT_FOUND : EFI_SUCCESS) << s.what;
    EXPECT_EQ(data, s.after) << s.what;
  }
  EXPECT_EQ(rt_->SetVariable(u"", &kVendor, kNvBsRt, 1, &one), EFI_INVALID_PARAMETER);
  EXPECT_EQ(rt_->SetVariable(nullptr, &kVendor, kNvBsRt, 1, &one), EFI_INVALID_PARAMETER);
}

TEST_F(VariableTest, CapacityLimitsTheStore) {
  std::vector<UINT8> big(40 * 1024, 0x5A);
  EXPECT_EQ(rt_->SetVariable(u"Big1", &kVendor, kNvBsRt, big.size(), big.data()), EFI_SUCCESS);
  EXPECT_EQ(rt_->SetVariable(u"Big2", &kVendor, kNvBsRt, big.size(), big.data()),
            EFI_OUT_OF_RESOURCES);
  // Replacing a variable counts only the new size.
  EXPECT_EQ(rt_->SetVariable(u"Big1", &kVendor, kNvBsRt, big.size(), big.data()), EFI_SUCCESS);
}

TEST_F(VariableTest, GetNextVariableNameWalksInCreationOrder) {
  const UINT8 one = 1;
  rt_->SetVariable(u"B", &kVendor, kNvBsRt, 1, &one);
  rt_->SetVariable(u"LongerName", &gEfiGlobalVariableGuid, kBs, 1, &one);
  rt_->SetVariable(u"A", &kVendor, kNvBsRt, 1, &one);

  CHAR16 name[32] = {0};
  EFI_GUID guid{};
  std::vector<std::u16string> seen;
  for (;;) {
    UINTN size = sizeof name;
    EFI_STATUS status = rt_->GetNextVariableName(&size, name, &guid);
    if (status == EFI_NOT_FOUND)
      break;
    ASSERT_EQ(status, EFI_SUCCESS);
    EXPECT_EQ(size, (std::char_traits<char16_t>::length(name) + 1) * 2);
    std::u16string n(name);
    if (n == u"B" || n == u"LongerName" || n == u"A") // the board's own come first
      seen.push_back(n);
  }
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"B", u"LongerName", u"A"}));

  // Too small a buffer: the size of the next name.
  CHAR16 small[4] = {u'B', 0};
  guid = kVendor;
  UINTN size = sizeof small;
  EXPECT_EQ(rt_->GetNextVariableName(&size, small, &guid), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, sizeof(u"LongerName"));
  // A name that is not in the store.
  CHAR16 unknown[4] = {u'Z', 0};
  size = sizeof unknown;
  EXPECT_EQ(rt_->GetNextVariableName(&size, unknown, &guid), EFI_INVALID_PARAMETER);
}

TEST_F(VariableTest, NonVolatileVariablesSurviveResetAndRuns) {
  const UINT8 nv = 0x11, vol = 0x22;
  rt_->SetVariable(u"Kept", &kVendor, kNvBsRt, 1, &nv);
  rt_->SetVariable(u"Dropped", &kVendor, kBs, 1, &vol);
  sim::BootResult result = board_->Run([](sim::Board &board) {
    board.SetResetReturns(false); // as once the Reset Architectural Protocol is there
    board.RuntimeServices()->ResetSystem(EfiResetCold, EFI_SUCCESS, 0, nullptr);
    ADD_FAILURE() << "ResetSystem returned";
  });
  EXPECT_EQ(result.Outcome, sim::BootOutcome::Reset);
  EXPECT_EQ(result.ResetType, EfiResetCold);

  board_->PowerOn(); // next boot of the same run
  rt_ = board_->RuntimeServices();
  EFI_STATUS status;
  EXPECT_EQ(Read(rt_, u"Kept", &status), std::vector<UINT8>{0x11});
  Read(rt_, u"Dropped", &status);
  EXPECT_EQ(status, EFI_NOT_FOUND);

  board_->Commit();
  NextRun();
  EXPECT_EQ(Read(rt_, u"Kept", &status), std::vector<UINT8>{0x11});
  UINT32 attributes = 0;
  Read(rt_, u"Kept", &status, &attributes);
  EXPECT_EQ(attributes, kNvBsRt);
}

TEST_F(VariableTest, ARunThatDoesNotCommitLeavesTheStateDirectoryAlone) {
  const UINT8 first = 1, second = 2;
  rt_->SetVariable(u"Kept", &kVendor, kNvBsRt, 1, &first);
  board_->Commit();
  std::ifstream in(board_->State().CommittedFolder() / "variables.json");
  std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  NextRun();
  rt_->SetVariable(u"Kept", &kVendor, kNvBsRt, 1, &second);
  NextRun(); // the previous run failed: no Commit
  EFI_STATUS status;
  EXPECT_EQ(Read(rt_, u"Kept", &status), std::vector<UINT8>{1});
  std::ifstream again(board_->State().CommittedFolder() / "variables.json");
  std::string after((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(before.empty());
  EXPECT_EQ(before, after);
  // A commit leaves no temporary files behind.
  for (const auto &entry : std::filesystem::directory_iterator(state_))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(VariableTest, ACorruptStateFileIsAnErrorNamingIt) {
  board_->Commit();
  {
    std::ofstream out(board_->State().CommittedFolder() / "variables.json");
    out << "{\"variables\": [{\"name\": \"X\"}]}";
  }
  try {
    NextRun();
    FAIL() << "no error";
  } catch (const sim::SimulationError &e) {
    EXPECT_NE(std::string(e.what()).find("variables.json"), std::string::npos) << e.what();
  }
}

TEST_F(VariableTest, OnlyRuntimeVariablesAfterExitBootServices) {
  const UINT8 one = 1;
  rt_->SetVariable(u"Boot", &kVendor, kBs | EFI_VARIABLE_NON_VOLATILE, 1, &one);
  rt_->SetVariable(u"Both", &kVendor, kNvBsRt, 1, &one);
  board_->ExitBootServices();
  EFI_STATUS status;
  Read(rt_, u"Boot", &status);
  EXPECT_EQ(status, EFI_NOT_FOUND);
  Read(rt_, u"Both", &status);
  EXPECT_EQ(status, EFI_SUCCESS);
  EXPECT_EQ(rt_->SetVariable(u"Volatile", &kVendor, kBs | EFI_VARIABLE_RUNTIME_ACCESS, 1, &one),
            EFI_INVALID_PARAMETER);
}

} // namespace
