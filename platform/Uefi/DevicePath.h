// Device path nodes (UEFI standard, "Device Path Protocol").
#pragma once
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
struct EFI_DEVICE_PATH_PROTOCOL {
  UINT8 Type;
  UINT8 SubType;
  UINT8 Length[2];
};
#pragma pack(pop)
static_assert(sizeof(EFI_DEVICE_PATH_PROTOCOL) == 4, "device path header");

constexpr UINT8 MEDIA_DEVICE_PATH = 0x04;
constexpr UINT8 MEDIA_FILEPATH_DP = 0x04;
constexpr UINT8 END_DEVICE_PATH_TYPE = 0x7F;
constexpr UINT8 END_ENTIRE_DEVICE_PATH_SUBTYPE = 0xFF;
constexpr UINT8 END_INSTANCE_DEVICE_PATH_SUBTYPE = 0x01;

inline constexpr EFI_GUID gEfiDevicePathProtocolGuid = {
    0x09576E91, 0x6D3F, 0x11D2, {0x8E, 0x39, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};

// PI firmware-volume nodes (PI standard, volume 3).
constexpr UINT8 MEDIA_PIWG_FW_FILE_DP = 0x06;
constexpr UINT8 MEDIA_PIWG_FW_VOL_DP = 0x07;

#pragma pack(push, 1)
struct MEDIA_FW_VOL_FILEPATH_DEVICE_PATH {
  EFI_DEVICE_PATH_PROTOCOL Header;
  EFI_GUID FvFileName;
};
struct MEDIA_FW_VOL_DEVICE_PATH {
  EFI_DEVICE_PATH_PROTOCOL Header;
  EFI_GUID FvName;
};
#pragma pack(pop)
static_assert(sizeof(MEDIA_FW_VOL_FILEPATH_DEVICE_PATH) == 20, "FV file node");
static_assert(sizeof(MEDIA_FW_VOL_DEVICE_PATH) == 20, "FV node");
