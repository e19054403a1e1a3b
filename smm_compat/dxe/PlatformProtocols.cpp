// The platform side the hot-key SMM driver expects: its configuration item
// through the platform-data protocol, and the command buffer it shares with
// the operating system, one page of reserved memory (the OS keeps using it,
// and SMM code may still reach it after the SMM lock).
#include "Platform/CommandBufferProtocol.h"
#include "Platform/PlatformDataProtocol.h"
#include "smm_compat/dxe/DxeState.h"
#include "support/Strings.h"

namespace SmmCompat {
namespace {

constexpr UINTN kCommandBufferPages = 1;
constexpr UINTN kButtonConfigSize = 28;

// Byte 0 is both the GPI gate (0: serve the button GPIs) and the panel index;
// bytes 1 and 2 the key repeat delay and rate.
constexpr UINT8 kButtonConfig[kButtonConfigSize] = {0, 2, 1};

EFI_STATUS EFIAPI GetCount(PLATFORM_DATA_PROTOCOL *, UINTN *Count) {
  if (Count == nullptr)
    return EFI_INVALID_PARAMETER;
  *Count = 1;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetData(const EFI_GUID *Guid, UINTN Size, VOID *Buffer) {
  if (Guid == nullptr || Buffer == nullptr)
    return EFI_INVALID_PARAMETER;
  if (CompareBytes(Guid, &gButtonPlatformConfigGuid, sizeof(EFI_GUID)) != 0)
    return EFI_NOT_FOUND;
  if (Size > kButtonConfigSize)
    return EFI_BAD_BUFFER_SIZE;
  CopyBytes(Buffer, kButtonConfig, Size);
  return EFI_SUCCESS;
}

constinit PLATFORM_DATA_PROTOCOL gPlatformData = {GetCount, GetData};
constinit COMMAND_BUFFER_PROTOCOL gCommandBuffer = {};

} // namespace

EFI_STATUS InstallPlatformProtocols(EFI_HANDLE *Handle) {
  EFI_PHYSICAL_ADDRESS Buffer = 0;
  EFI_STATUS Status =
      gDxe.Bs->AllocatePages(AllocateAnyPages, EfiReservedMemoryType, kCommandBufferPages, &Buffer);
  if (EFI_ERROR(Status))
    return Status;
  FillBytes(reinterpret_cast<VOID *>(UINTN(Buffer)), kCommandBufferPages * 4096, 0);
  gCommandBuffer.CommandBufferAddress = UINTN(Buffer);
  Status = gDxe.Bs->InstallProtocolInterface(Handle, &gPlatformDataProtocolGuid,
                                             EFI_NATIVE_INTERFACE, &gPlatformData);
  if (EFI_ERROR(Status))
    return Status;
  return gDxe.Bs->InstallProtocolInterface(Handle, &gCommandBufferProtocolGuid,
                                           EFI_NATIVE_INTERFACE, &gCommandBuffer);
}

} // namespace SmmCompat
