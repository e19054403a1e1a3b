// The state-variable operations other parts of the driver call, driven
// directly on a powered board without the driver's start-up.
#include "sim/core/Pool.h"
#include "tpm_core/TestBoard.h"
#include "tpm_platform/core/StateVariables.h"

#include <gtest/gtest.h>

namespace tpmtest {
namespace {

using namespace TpmPlatform;

// A board with services and the given variables, and the driver bound to it.
class StateOperations : public ::testing::Test {
protected:
  void Start(json initial = json::array()) {
    board_.emplace(ServicesOnly(initial));
    (*board_)->Boot();
    board_->BindDriver();
  }
  TestBoard &Board() { return *board_; }
  std::optional<Bytes> Ppi() {
    return board_->Var(kPpiRequestVariableName, gPpiRequestVariableGuid);
  }

  // "ZELTCGPPIVAR" as stored (nullopt: absent), a fault rule the store applies
  // (nullptr: none) and the variable after the operation.
  struct StoredCase {
    const char *Name;
    std::optional<Bytes> Stored;
    const char *Fault;
    std::optional<Bytes> After;
  };
  template <size_t N, typename Operation>
  void CheckStoredCases(const StoredCase (&cases)[N], Operation operation) {
    for (const StoredCase &c : cases) {
      SCOPED_TRACE(c.Name);
      Start(c.Stored ? json::array({Variable("ZELTCGPPIVAR", kPpiGuid, *c.Stored)})
                     : json::array());
      if (c.Fault)
        Board()->Faults().Add(sim::FaultRule::Parse(c.Fault));
      operation();
      EXPECT_EQ(Ppi(), c.After);
    }
  }
  std::optional<TestBoard> board_;
};

TEST_F(StateOperations, RecordPpiResultStoresTheCodeBytes) {
  struct Case {
    UINT16 Code;
    Bytes Expect;
  };
  const Case cases[] = {{0x0000, {0, 7, 0x00, 9, 0x00}}, {0x00FF, {0, 7, 0xFF, 9, 0x00}},
                        {0x0100, {0, 7, 0x00, 9, 0x01}}, {0xFFF0, {0, 7, 0xF0, 9, 0xFF}},
                        {0xFFF1, {0, 7, 0xF1, 9, 0xFF}}, {0xFFFE, {0, 7, 0xFE, 9, 0xFF}},
                        {0xFFFF, {0, 7, 0xFF, 9, 0x00}}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Code);
    Start(json::array({Variable("ZELTCGPPIVAR", kPpiGuid, {7, 7, 0x55, 9, 0x66})}));
    RecordPpiResult(c.Code);
    EXPECT_EQ(Ppi(), c.Expect);
  }
}

TEST_F(StateOperations, RecordPpiResultWritesNothingWithoutAReadableVariable) {
  Start();
  RecordPpiResult(0xFFF0);
  EXPECT_EQ(Ppi(), std::nullopt);
  // A short variable keeps its size: the bytes beyond it are not created.
  Start(json::array({Variable("ZELTCGPPIVAR", kPpiGuid, {4, 4, 4})}));
  RecordPpiResult(0x0123);
  EXPECT_EQ(Ppi(), (Bytes{0, 4, 0x23}));
}

TEST_F(StateOperations, RequestAndExecutionMarkers) {
  Start(json::array({Variable("ZELTCGPPIVAR", kPpiGuid, {1, 2, 3, 4, 5}),
                     Variable("TCG", kTcgGuid, {0xA, 0xB, 0, 0xD, 2, 9}),
                     Variable("OrvMfgData", kMfgGuid, {0, 0, 0, 0, 0, 0, 0})}));
  EXPECT_EQ(RecordPpiRequest(14), EFI_SUCCESS);
  EXPECT_EQ(Ppi(), (Bytes{14, 14, 0, 0, 0}));
  ClearPpiRequest();
  EXPECT_EQ(Ppi(), (Bytes{0, 14, 0, 0, 0}));
  // The manufacturing data is not consulted when marking an execution.
  EXPECT_EQ(MarkPpiExecuted(), EFI_SUCCESS);
  EXPECT_EQ(Board().Var(kTcgStateVariableName, gTcgStateVariableGuid),
            (Bytes{0xA, 0xB, 1, 0xD, 1, 0}));
  Start();
  EXPECT_EQ(MarkPpiExecuted(), EFI_SUCCESS); // rebuilt first
  EXPECT_EQ(Board().Var(kTcgStateVariableName, gTcgStateVariableGuid), (Bytes{0, 0, 1, 0, 1, 0}));
}

TEST_F(StateOperations, RequestResultRebuildsOnlyAVariableTheStoreFailsToRead) {
  const StoredCase cases[] = {
      {"readable", Bytes{7, 7, 0x55, 9, 0x66}, nullptr, Bytes{0, 7, 0xF0, 9, 0xFF}},
      {"absent", std::nullopt, nullptr, std::nullopt},
      {"oversized", Bytes(6, 5), nullptr, Bytes(6, 5)},
      // The request's own bytes would read as done: the refusal is stored.
      {"unreadable", Bytes{16, 16, 0, 0, 0}, "GetVariable:ZELTCGPPIVAR=EFI_DEVICE_ERROR",
       Bytes{0, 16, 0xF0, 0, 0xFF}},
  };
  CheckStoredCases(cases, [] { RecordPpiRequestResult(16, 0xFFF0); });
}

TEST_F(StateOperations, ClearPpiRequestRecreatesOnlyAnAbsentOrOversizedVariable) {
  const StoredCase cases[] = {
      {"absent", std::nullopt, nullptr, Bytes(5, 0)},
      {"oversized", Bytes{6, 6, 0, 0, 0, 9}, nullptr, Bytes(5, 0)},
      {"readable", Bytes{6, 6, 0xF1, 3, 0xFF}, nullptr, Bytes{0, 6, 0xF1, 3, 0xFF}},
      // A read the store fails must not erase the last operation and result.
      {"unreadable", Bytes{6, 6, 0xF1, 3, 0xFF}, "GetVariable:ZELTCGPPIVAR=EFI_DEVICE_ERROR",
       Bytes{6, 6, 0xF1, 3, 0xFF}},
  };
  CheckStoredCases(cases, [] { ClearPpiRequest(); });
}

TEST_F(StateOperations, MarkPpiExecutedReportsAnUnreadableVariable) {
  Start();
  Board()->Faults().FailEvery("GetVariable:TCG", EFI_DEVICE_ERROR);
  EXPECT_EQ(MarkPpiExecuted(), EFI_DEVICE_ERROR);
  // The rebuild wrote its defaults; the second read failed, so no marker.
  EXPECT_EQ(Board().Var(kTcgStateVariableName, gTcgStateVariableGuid), (Bytes{0, 0, 0, 0, 0, 0}));
}

TEST_F(StateOperations, LastBootFailedIsDeletedOnlyWhenItFitsFourBytes) {
  struct Case {
    std::optional<Bytes> Data;
    unsigned Attributes;
    bool Remains;
  };
  // Attributes 7: the store refuses the attributes-1 form, the fallback deletes.
  const Case cases[] = {{Bytes{1, 0, 0, 0}, 7, false},
                        {Bytes{1, 0, 0, 0}, 3, false},
                        {Bytes{1}, 7, false},
                        {Bytes(8, 1), 7, true},
                        {std::nullopt, 7, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << (c.Data ? c.Data->size() : 0) << " " << c.Attributes);
    Start(c.Data ? json::array(
                       {Variable("LastBootFailed", kLastBootFailedGuid, *c.Data, c.Attributes)})
                 : json::array());
    DeleteLastBootFailed();
    EXPECT_EQ(Board().Var(kLastBootFailedVariableName, gLastBootFailedVariableGuid).has_value(),
              c.Remains);
    EXPECT_EQ(Board().Writes(kLastBootFailedVariableName), c.Data && !c.Remains ? 1u : 0u);
  }
}

TEST_F(StateOperations, PpiCmosFlagGoesThroughTheIndexPortFirst) {
  Start();
  WritePpiCmosFlag(1);
  EXPECT_EQ(Board()->Cmos().Get(0x6F), 1);
  WritePpiCmosFlag(0);
  EXPECT_EQ(Board()->Cmos().Get(0x6F), 0);
}

TEST_F(StateOperations, ReadSetupAllocatedSizesItsBuffer) {
  Bytes setup = SetupBytes({}, 1500); // larger than the fixed readers take
  Start(json::array({Variable("Setup", kSetupGuid, setup, 3)}));
  UINT8 *buffer = nullptr;
  UINT32 attributes = 0;
  UINTN size = 0;
  ASSERT_EQ(ReadSetupAllocated(&buffer, &attributes, &size), EFI_SUCCESS);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 1500u);
  EXPECT_EQ(attributes, 3u);
  EXPECT_EQ(Bytes(buffer, buffer + size), setup);
  gBS->FreePool(buffer);

  // The fixed-size reader counts it as unreadable.
  SetupData fixed;
  EXPECT_EQ(ReadSetupVariable(&fixed, nullptr, nullptr), EFI_BUFFER_TOO_SMALL);
}

TEST_F(StateOperations, ReadSetupAllocatedFailures) {
  Start();
  UINT8 *buffer = reinterpret_cast<UINT8 *>(1);
  UINTN size = 99;
  EXPECT_EQ(ReadSetupAllocated(&buffer, nullptr, &size), EFI_NOT_FOUND);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);

  Start(json::array({Variable("Setup", kSetupGuid, SetupBytes())}));
  Board()->Faults().FailEvery("AllocatePool", EFI_OUT_OF_RESOURCES);
  size = 0;
  EXPECT_EQ(ReadSetupAllocated(&buffer, nullptr, &size), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(buffer, nullptr);

  // The second read fails: the pool block goes back, the caller gets none.
  Start(json::array({Variable("Setup", kSetupGuid, SetupBytes())}));
  size_t liveBefore = Board()->Pool().LiveCount();
  Board()->Faults().FailNth("GetVariable:Setup", 2, EFI_DEVICE_ERROR);
  EXPECT_EQ(ReadSetupAllocated(&buffer, nullptr, &size), EFI_DEVICE_ERROR);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, kSetupDataSize);
  EXPECT_EQ(Board()->Pool().LiveCount(), liveBefore);
}

} // namespace
} // namespace tpmtest
