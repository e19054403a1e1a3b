// Publishes the address of the command buffer that the operating system shares
// with the hot-key SMM driver.
#pragma once
#include "Uefi/UefiBaseType.h"

struct COMMAND_BUFFER_PROTOCOL {
  UINTN CommandBufferAddress;
};
static_assert(sizeof(COMMAND_BUFFER_PROTOCOL) == 8, "command buffer protocol");

inline constexpr EFI_GUID gCommandBufferProtocolGuid = {
    0x43F17FFF, 0x3A1A, 0x4E4F, {0x97, 0xAA, 0x28, 0x29, 0xCF, 0x80, 0xBD, 0x1B}};
