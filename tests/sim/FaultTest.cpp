#include "BoardFixture.h"

#include "sim/core/Errors.h"

namespace {

using FaultTest = simtest::BoardTest;

constexpr EFI_GUID kProto = {0x44444444, 0, 0, {1}};
constexpr EFI_GUID kVendor = {0x55555555, 0, 0, {2}};

TEST_F(FaultTest, RulesFailEveryOrTheNthCall) {
  int iface = 0;
  EFI_HANDLE h = nullptr;
  bs_->InstallProtocolInterface(&h, &kProto, EFI_NATIVE_INTERFACE, &iface);
  struct Case {
    const char *rule;
    std::vector<EFI_STATUS> statuses; // of four LocateProtocol calls
  } cases[] = {
      {"LocateProtocol=EFI_DEVICE_ERROR",
       {EFI_DEVICE_ERROR, EFI_DEVICE_ERROR, EFI_DEVICE_ERROR, EFI_DEVICE_ERROR}},
      {"LocateProtocol#3=NOT_FOUND", {EFI_SUCCESS, EFI_SUCCESS, EFI_NOT_FOUND, EFI_SUCCESS}},
      {"HandleProtocol=EFI_DEVICE_ERROR", {EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS}},
  };
  for (const auto &c : cases) {
    board_->Faults().ClearRules();
    board_->Faults().ResetCounts();
    board_->Faults().Add(sim::FaultRule::Parse(c.rule));
    std::vector<EFI_STATUS> got;
    for (int i = 0; i < 4; ++i) {
      VOID *p = nullptr;
      got.push_back(bs_->LocateProtocol(&kProto, nullptr, &p));
    }
    EXPECT_EQ(got, c.statuses) << c.rule;
    EXPECT_EQ(board_->Faults().Calls("LocateProtocol"), 4u);
  }
}

TEST_F(FaultTest, VariableRulesCanNameTheVariable) {
  board_->Faults().ResetCounts();
  board_->Variables().ClearWrites();
  board_->Faults().FailNth("SetVariable:Setup", 2, EFI_WRITE_PROTECTED);
  const UINT8 byte = 1;
  constexpr UINT32 attributes = 7;
  EXPECT_EQ(rt_->SetVariable(u"Setup", &kVendor, attributes, 1, &byte), EFI_SUCCESS);
  EXPECT_EQ(rt_->SetVariable(u"TCG", &kVendor, attributes, 1, &byte), EFI_SUCCESS);
  EXPECT_EQ(rt_->SetVariable(u"Setup", &kVendor, attributes, 1, &byte), EFI_WRITE_PROTECTED);
  EXPECT_EQ(rt_->SetVariable(u"Setup", &kVendor, attributes, 1, &byte), EFI_SUCCESS);
  EXPECT_EQ(board_->Faults().Calls("SetVariable"), 4u);
  EXPECT_EQ(board_->Faults().Calls("SetVariable:Setup"), 3u);
  EXPECT_EQ(board_->Faults().Calls("SetVariable:TCG"), 1u);
  ASSERT_EQ(board_->Faults().Injected().size(), 1u);
  EXPECT_EQ(board_->Faults().Injected()[0].Call, 2u);
  // A failed call changed nothing: only three writes.
  EXPECT_EQ(board_->Variables().Writes().size(), 3u);
}

TEST_F(FaultTest, ComponentsConsultTheSameInjector) {
  board_->Faults().ResetCounts();
  board_->Faults().FailEvery("Tcg.HashAll", EFI_DEVICE_ERROR);
  EXPECT_EQ(board_->Faults().Check("Tcg.HashAll"), EFI_DEVICE_ERROR);
  EXPECT_EQ(board_->Faults().Check("Tcg.PassThroughToTpm"), std::nullopt);
  EXPECT_EQ(board_->Faults().CallCounts().size(), 2u);
}

// An allocation fails either with an error status or with success and a NULL
// buffer; the other calls are served.
TEST_F(FaultTest, AllocationsFailWithAStatusOrWithANullBuffer) {
  struct Case {
    const char *Rule;
    EFI_STATUS Second; // status of the second of three allocations
    bool NullBuffer;
  } cases[] = {
      {"AllocatePool#2=EFI_OUT_OF_RESOURCES", EFI_OUT_OF_RESOURCES, false},
      {"AllocatePool#2=NULL", EFI_SUCCESS, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Rule);
    board_->Faults().ClearRules();
    board_->Faults().ResetCounts();
    auto rule = sim::FaultRule::Parse(c.Rule);
    EXPECT_EQ(rule.ToString(), c.Rule);
    board_->Faults().Add(rule);
    std::vector<VOID *> buffers(3, reinterpret_cast<VOID *>(uintptr_t(1)));
    std::vector<EFI_STATUS> statuses;
    for (VOID *&b : buffers)
      statuses.push_back(bs_->AllocatePool(EfiBootServicesData, 16, &b));
    EXPECT_EQ(statuses, (std::vector<EFI_STATUS>{EFI_SUCCESS, c.Second, EFI_SUCCESS}));
    EXPECT_NE(buffers[0], nullptr);
    EXPECT_NE(buffers[2], nullptr);
    if (c.NullBuffer)
      EXPECT_EQ(buffers[1], nullptr);
    for (VOID *b : {buffers[0], buffers[2]})
      bs_->FreePool(b);
    ASSERT_EQ(board_->Faults().Injected().size(), 1u);
    const auto &f = board_->Faults().Injected()[0];
    EXPECT_EQ(f.NullBuffer, c.NullBuffer);
    EXPECT_EQ(f.Call, 2u);
  }
}

TEST(FaultRuleTest, ParseRejectsMalformedRules) {
  for (const char *bad :
       {"LocateProtocol", "=EFI_NOT_FOUND", "LocateProtocol#0=EFI_NOT_FOUND",
        "LocateProtocol#x=EFI_NOT_FOUND", "LocateProtocol=NO_SUCH_STATUS", "GetVariable=NULL",
        // statuses by name only: a number hides a typo
        "GetVariable:Setup#2=0x8000000000000007"})
    EXPECT_THROW(sim::FaultRule::Parse(bad), sim::SimulationError) << bad;
  auto rule = sim::FaultRule::Parse("GetVariable:Setup#2=EFI_DEVICE_ERROR");
  EXPECT_EQ(rule.Key, "GetVariable:Setup");
  EXPECT_EQ(rule.Nth, 2u);
  EXPECT_EQ(rule.Status, EFI_DEVICE_ERROR);
  EXPECT_EQ(rule.ToString(), "GetVariable:Setup#2=EFI_DEVICE_ERROR");
}

} // namespace
