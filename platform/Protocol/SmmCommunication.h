// SMM communication protocol (PI standard, volume 4): a DXE caller hands a
// buffer to the SMM handler registered under the header's GUID.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_SMM_COMMUNICATION_PROTOCOL;
struct EFI_SMM_COMMUNICATION_PROTOCOL {
  EFI_STATUS(EFIAPI *Communicate)
  (const EFI_SMM_COMMUNICATION_PROTOCOL *This, VOID *CommBuffer, UINTN *CommSize);
};

struct EFI_SMM_COMMUNICATE_HEADER {
  EFI_GUID HeaderGuid;
  UINTN MessageLength;
  // Message data follows.
};
static_assert(sizeof(EFI_SMM_COMMUNICATE_HEADER) == 24, "communicate header");

inline constexpr EFI_GUID gEfiSmmCommunicationProtocolGuid = {
    0xC68ED8E2, 0x9DC6, 0x4CBD, {0x9D, 0x94, 0xDB, 0x65, 0xAC, 0xC5, 0xC3, 0x32}};
