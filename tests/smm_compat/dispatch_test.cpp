// The Framework dispatch protocols of the compatibility layer: software SMIs
// by value, GPI registrations recorded, and what the record shows of both.
#include "smm_compat/core/Dispatch.h"

#include <gtest/gtest.h>

#include <vector>

using namespace SmmCompat;

namespace {

struct Call {
  int Handler;
  UINTN Value;
};
std::vector<Call> gCalls;

template <int N> VOID EFIAPI SwHandler(EFI_HANDLE, EFI_SMM_SW_DISPATCH_CONTEXT *Context) {
  gCalls.push_back({N, Context->SwSmiInputValue});
  // A handler that scribbles on its context must not change its registration.
  Context->SwSmiInputValue = 0x55;
}
VOID EFIAPI GpiHandler(EFI_HANDLE, EFI_SMM_GPI_DISPATCH_CONTEXT *) {}

class Dispatch : public ::testing::Test {
protected:
  void SetUp() override {
    gCalls.clear();
    Record = CompatRecord{};
    InitDispatch(&Record);
  }
  EFI_STATUS RegisterSw(EFI_SMM_SW_DISPATCH Function, UINTN Value, EFI_HANDLE *Handle = nullptr) {
    EFI_HANDLE Local = nullptr;
    EFI_SMM_SW_DISPATCH_CONTEXT Context = {Value};
    return Sw->Register(Sw, Function, &Context, Handle ? Handle : &Local);
  }
  CompatRecord Record{};
  EFI_SMM_SW_DISPATCH_PROTOCOL *Sw = SwDispatchProtocol();
  EFI_SMM_GPI_DISPATCH_PROTOCOL *Gpi = GpiDispatchProtocol();
};

TEST_F(Dispatch, SoftwareSmiReachesOnlyTheHandlerOfItsValue) {
  ASSERT_EQ(RegisterSw(SwHandler<1>, 0xE0), EFI_SUCCESS);
  ASSERT_EQ(RegisterSw(SwHandler<2>, 0xE3), EFI_SUCCESS);
  struct {
    UINT8 Value;
    UINTN Ran;
    int Handler;
  } Cases[] = {{0xE3, 1, 2}, {0xE0, 1, 1}, {0xE3, 1, 2}, {0x42, 0, 0}, {0x00, 0, 0}};
  for (const auto &C : Cases) {
    gCalls.clear();
    EXPECT_EQ(DispatchSoftwareSmi(C.Value), C.Ran) << int(C.Value);
    if (C.Ran == 1) {
      ASSERT_EQ(gCalls.size(), 1u);
      EXPECT_EQ(gCalls[0].Handler, C.Handler);
      EXPECT_EQ(gCalls[0].Value, C.Value);
    } else {
      EXPECT_TRUE(gCalls.empty());
    }
  }
  EXPECT_EQ(Record.SwHandlerCount, 2u);
  EXPECT_EQ(Record.Sw[0].Value, 0xE0u);
  EXPECT_EQ(Record.Sw[0].Dispatched, 1u);
  EXPECT_EQ(Record.Sw[1].Value, 0xE3u);
  EXPECT_EQ(Record.Sw[1].Dispatched, 2u);
  EXPECT_EQ(Record.SwSmis, 3u);
}

TEST_F(Dispatch, SoftwareRegistrationsRefused) {
  ASSERT_EQ(RegisterSw(SwHandler<1>, 0xE3), EFI_SUCCESS);
  EFI_HANDLE Handle = nullptr;
  EFI_SMM_SW_DISPATCH_CONTEXT Context = {0x10};
  struct {
    const char *Name;
    EFI_STATUS Status;
  } Cases[] = {
      {"second handler for a value", RegisterSw(SwHandler<2>, 0xE3)},
      {"value above one byte", RegisterSw(SwHandler<2>, 0x100)},
      {"value 0, the SMM core's own", RegisterSw(SwHandler<2>, 0)},
      {"no function", RegisterSw(nullptr, 0x10)},
      {"no context", Sw->Register(Sw, SwHandler<2>, nullptr, &Handle)},
      {"no handle", Sw->Register(Sw, SwHandler<2>, &Context, nullptr)},
      {"no protocol", Sw->Register(nullptr, SwHandler<2>, &Context, &Handle)},
  };
  for (const auto &C : Cases)
    EXPECT_EQ(C.Status, EFI_INVALID_PARAMETER) << C.Name;
  EXPECT_EQ(Record.SwHandlerCount, 1u);
  gCalls.clear();
  EXPECT_EQ(DispatchSoftwareSmi(0xE3), 1u);
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(gCalls[0].Handler, 1);
}

TEST_F(Dispatch, TableFullThenFreedByUnRegister) {
  std::vector<EFI_HANDLE> Handles(kMaxSwHandlers);
  for (UINTN i = 0; i < kMaxSwHandlers; ++i)
    ASSERT_EQ(RegisterSw(SwHandler<1>, 0x10 + i, &Handles[i]), EFI_SUCCESS);
  EXPECT_EQ(RegisterSw(SwHandler<2>, 0x80), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ(Sw->UnRegister(Sw, Handles[3]), EFI_SUCCESS);
  EXPECT_EQ(Sw->UnRegister(Sw, Handles[3]), EFI_INVALID_PARAMETER);
  EXPECT_EQ(DispatchSoftwareSmi(0x13), 0u);
  EXPECT_EQ(RegisterSw(SwHandler<2>, 0x80), EFI_SUCCESS);
  gCalls.clear();
  EXPECT_EQ(DispatchSoftwareSmi(0x80), 1u);
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(gCalls[0].Handler, 2);
}

TEST_F(Dispatch, GpiRegistrationsAreRecordedInOrder) {
  struct {
    UINTN Gpi;
    EFI_STATUS Status;
  } Cases[] = {{6, EFI_SUCCESS}, {1, EFI_SUCCESS}, {16, EFI_INVALID_PARAMETER}};
  for (const auto &C : Cases) {
    EFI_SMM_GPI_DISPATCH_CONTEXT Context = {C.Gpi};
    EFI_HANDLE Handle = nullptr;
    EXPECT_EQ(Gpi->Register(Gpi, GpiHandler, &Context, &Handle), C.Status) << C.Gpi;
  }
  EXPECT_EQ(Record.GpiHandlerCount, 2u);
  EXPECT_EQ(Record.Gpi[0], 6u);
  EXPECT_EQ(Record.Gpi[1], 1u);
  // GPIs never reach the software-SMI table.
  EXPECT_EQ(DispatchSoftwareSmi(6), 0u);
}

TEST_F(Dispatch, WorksWithoutARecord) {
  InitDispatch(nullptr);
  ASSERT_EQ(RegisterSw(SwHandler<1>, 0xE0), EFI_SUCCESS);
  EXPECT_EQ(DispatchSoftwareSmi(0xE0), 1u);
  EXPECT_EQ(Record.SwHandlerCount, 0u);
}

} // namespace
