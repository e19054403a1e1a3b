// Platform data items by GUID, published by the platform's own firmware.
#pragma once
#include "Uefi/UefiBaseType.h"

struct PLATFORM_DATA_PROTOCOL;

typedef EFI_STATUS(EFIAPI *PLATFORM_DATA_GET_COUNT)(PLATFORM_DATA_PROTOCOL *This, UINTN *Count);
// Copies Size bytes of the item named by Guid into Buffer.
typedef EFI_STATUS(EFIAPI *PLATFORM_DATA_GET_DATA)(const EFI_GUID *Guid, UINTN Size, VOID *Buffer);

struct PLATFORM_DATA_PROTOCOL {
  PLATFORM_DATA_GET_COUNT GetCount;
  PLATFORM_DATA_GET_DATA GetData;
};
static_assert(__builtin_offsetof(PLATFORM_DATA_PROTOCOL, GetData) == 8,
              "GetData is the second routine");

inline constexpr EFI_GUID gPlatformDataProtocolGuid = {
    0x37FDF585, 0x4AA7, 0x42A7, {0x8E, 0x26, 0x52, 0xDF, 0xCA, 0x46, 0x6D, 0xC9}};

// The hot-key buttons' item: its first byte gates the GPI handlers, and the
// 28-byte block configures the panel and the repeat timing.
inline constexpr EFI_GUID gButtonPlatformConfigGuid = {
    0x9C8F2A77, 0x37E7, 0x4BB7, {0xBC, 0x41, 0xCF, 0xFF, 0x47, 0x23, 0x71, 0x97}};
