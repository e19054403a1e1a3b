#include "BoardFixture.h"

#include "sim/core/Pool.h"

#include <vector>

namespace {

constexpr EFI_GUID kProtoA = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr EFI_GUID kProtoB = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};

using HandleDatabaseTest = simtest::BoardTest;

std::vector<int> gNotified;
void EFIAPI CountNotify(EFI_EVENT, VOID *context) {
  gNotified.push_back(*static_cast<int *>(context));
}

TEST_F(HandleDatabaseTest, InstallCreatesHandlesAndRejectsDuplicatesAndStaleHandles) {
  int a = 1, b = 2;
  EFI_HANDLE h = nullptr;
  ASSERT_EQ(bs_->InstallProtocolInterface(&h, &kProtoA, EFI_NATIVE_INTERFACE, &a), EFI_SUCCESS);
  ASSERT_NE(h, nullptr);
  EFI_HANDLE same = h;
  EXPECT_EQ(bs_->InstallProtocolInterface(&same, &kProtoB, EFI_NATIVE_INTERFACE, &b), EFI_SUCCESS);
  EXPECT_EQ(same, h);
  EXPECT_EQ(bs_->InstallProtocolInterface(&same, &kProtoA, EFI_NATIVE_INTERFACE, &b),
            EFI_INVALID_PARAMETER);

  VOID *found = nullptr;
  EXPECT_EQ(bs_->HandleProtocol(h, &kProtoB, &found), EFI_SUCCESS);
  EXPECT_EQ(found, &b);
  EXPECT_EQ(bs_->UninstallProtocolInterface(h, &kProtoA, &b), EFI_NOT_FOUND); // wrong interface
  EXPECT_EQ(bs_->UninstallProtocolInterface(h, &kProtoA, &a), EFI_SUCCESS);
  EXPECT_EQ(bs_->UninstallProtocolInterface(h, &kProtoB, &b), EFI_SUCCESS);
  // The last protocol gone, the handle is gone.
  EXPECT_EQ(bs_->HandleProtocol(h, &kProtoB, &found), EFI_INVALID_PARAMETER);
  EFI_HANDLE stale = h;
  EXPECT_EQ(bs_->InstallProtocolInterface(&stale, &kProtoA, EFI_NATIVE_INTERFACE, &a),
            EFI_INVALID_PARAMETER);
}

TEST_F(HandleDatabaseTest, LocateHandleSizingAndInstallationOrder) {
  int i1 = 1, i2 = 2, i3 = 3;
  EFI_HANDLE h1 = nullptr, h2 = nullptr, h3 = nullptr;
  bs_->InstallProtocolInterface(&h1, &kProtoB, EFI_NATIVE_INTERFACE, &i1);
  bs_->InstallProtocolInterface(&h2, &kProtoA, EFI_NATIVE_INTERFACE, &i2);
  bs_->InstallProtocolInterface(&h1, &kProtoA, EFI_NATIVE_INTERFACE, &i1); // later on h1
  bs_->InstallProtocolInterface(&h3, &kProtoB, EFI_NATIVE_INTERFACE, &i3);

  UINTN size = 0;
  EXPECT_EQ(bs_->LocateHandle(ByProtocol, &kProtoA, nullptr, &size, nullptr), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 2 * sizeof(EFI_HANDLE));
  EFI_HANDLE handles[2] = {};
  ASSERT_EQ(bs_->LocateHandle(ByProtocol, &kProtoA, nullptr, &size, handles), EFI_SUCCESS);
  EXPECT_EQ(handles[0], h2); // installation order of protocol A, not handle order
  EXPECT_EQ(handles[1], h1);

  UINTN count = 0;
  EFI_HANDLE *buffer = nullptr;
  const size_t blocks = board_->Pool().LiveCount();
  ASSERT_EQ(bs_->LocateHandleBuffer(ByProtocol, &kProtoB, nullptr, &count, &buffer), EFI_SUCCESS);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(buffer[0], h1);
  EXPECT_EQ(buffer[1], h3);
  EXPECT_EQ(board_->Pool().LiveCount(), blocks + 1); // the caller owns the buffer
  EXPECT_EQ(bs_->FreePool(buffer), EFI_SUCCESS);

  constexpr EFI_GUID absent = {0xDEAD, 0, 0, {}};
  buffer = reinterpret_cast<EFI_HANDLE *>(1);
  EXPECT_EQ(bs_->LocateHandleBuffer(ByProtocol, &absent, nullptr, &count, &buffer), EFI_NOT_FOUND);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(count, 0u);
  VOID *iface = &i1;
  EXPECT_EQ(bs_->LocateProtocol(&absent, nullptr, &iface), EFI_NOT_FOUND);
  EXPECT_EQ(iface, nullptr);
  EXPECT_EQ(bs_->LocateProtocol(&kProtoB, nullptr, &iface), EFI_SUCCESS);
  EXPECT_EQ(iface, &i1);
}

TEST_F(HandleDatabaseTest, NotifyQueuesEachInstallationExactlyOnce) {
  gNotified.clear();
  int tag = 7;
  EFI_EVENT event = nullptr;
  ASSERT_EQ(bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, CountNotify, &tag, &event),
            EFI_SUCCESS);
  VOID *registration = nullptr;
  ASSERT_EQ(bs_->RegisterProtocolNotify(&kProtoA, event, &registration), EFI_SUCCESS);

  // Nothing installed since registering.
  UINTN count = 0;
  EFI_HANDLE *buffer = nullptr;
  EXPECT_EQ(bs_->LocateHandleBuffer(ByRegisterNotify, nullptr, registration, &count, &buffer),
            EFI_NOT_FOUND);

  int i1 = 1, i2 = 2, i3 = 3;
  EFI_HANDLE h1 = nullptr, h2 = nullptr, h3 = nullptr;
  bs_->InstallProtocolInterface(&h1, &kProtoA, EFI_NATIVE_INTERFACE, &i1);
  bs_->InstallProtocolInterface(&h2, &kProtoB, EFI_NATIVE_INTERFACE, &i2); // other protocol
  bs_->InstallProtocolInterface(&h2, &kProtoA, EFI_NATIVE_INTERFACE, &i2);
  // Each installation signalled the event (at TPL_APPLICATION: at once).
  EXPECT_EQ(gNotified, (std::vector<int>{7, 7}));

  ASSERT_EQ(bs_->LocateHandleBuffer(ByRegisterNotify, nullptr, registration, &count, &buffer),
            EFI_SUCCESS);
  ASSERT_EQ(count, 1u); // one handle per call
  EXPECT_EQ(buffer[0], h1);
  bs_->FreePool(buffer);
  VOID *iface = nullptr;
  ASSERT_EQ(bs_->LocateProtocol(&kProtoA, registration, &iface), EFI_SUCCESS);
  EXPECT_EQ(iface, &i2); // the same position: the next installation
  EXPECT_EQ(bs_->LocateProtocol(&kProtoA, registration, &iface), EFI_NOT_FOUND);

  bs_->InstallProtocolInterface(&h3, &kProtoA, EFI_NATIVE_INTERFACE, &i3);
  ASSERT_EQ(bs_->LocateHandleBuffer(ByRegisterNotify, nullptr, registration, &count, &buffer),
            EFI_SUCCESS);
  EXPECT_EQ(buffer[0], h3);
  bs_->FreePool(buffer);

  // Reinstalling notifies too; closing the event ends the registration.
  int i4 = 4;
  EXPECT_EQ(bs_->ReinstallProtocolInterface(h3, &kProtoA, &i3, &i4), EFI_SUCCESS);
  EXPECT_EQ(gNotified.size(), 4u);
  EXPECT_EQ(bs_->CloseEvent(event), EFI_SUCCESS);
  EFI_HANDLE h5 = nullptr;
  bs_->InstallProtocolInterface(&h5, &kProtoA, EFI_NATIVE_INTERFACE, &i1);
  EXPECT_EQ(gNotified.size(), 4u);
}

TEST_F(HandleDatabaseTest, NotifyRunsWhenTheCallerLowersTheTpl) {
  gNotified.clear();
  int tag = 1;
  EFI_EVENT event = nullptr;
  bs_->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, CountNotify, &tag, &event);
  VOID *registration = nullptr;
  bs_->RegisterProtocolNotify(&kProtoA, event, &registration);
  EFI_TPL old = bs_->RaiseTPL(TPL_NOTIFY);
  EFI_HANDLE h = nullptr;
  bs_->InstallProtocolInterface(&h, &kProtoA, EFI_NATIVE_INTERFACE, &tag);
  EXPECT_TRUE(gNotified.empty());
  bs_->RestoreTPL(old);
  EXPECT_EQ(gNotified.size(), 1u);
}

} // namespace
