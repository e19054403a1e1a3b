// Firmware volume header (PI standard, volume 3, "Firmware Volume").
#pragma once
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
struct EFI_FV_BLOCK_MAP_ENTRY {
  UINT32 NumBlocks;
  UINT32 Length;
};

struct EFI_FIRMWARE_VOLUME_HEADER {
  UINT8 ZeroVector[16];
  EFI_GUID FileSystemGuid;
  UINT64 FvLength;
  UINT32 Signature;
  UINT32 Attributes;
  UINT16 HeaderLength;
  UINT16 Checksum;
  UINT16 ExtHeaderOffset;
  UINT8 Reserved[1];
  UINT8 Revision;
  EFI_FV_BLOCK_MAP_ENTRY BlockMap[1];
};
#pragma pack(pop)
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, FileSystemGuid) == 0x10, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, FvLength) == 0x20, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, Signature) == 0x28, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, HeaderLength) == 0x30, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, Checksum) == 0x32, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, Revision) == 0x37, "FV header");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME_HEADER, BlockMap) == 0x38, "FV header");

constexpr UINT32 EFI_FVH_SIGNATURE = 0x4856465F; // "_FVH"
constexpr UINT8 EFI_FVH_REVISION = 0x02;

// EFI_FIRMWARE_FILE_SYSTEM2_GUID
inline constexpr EFI_GUID gEfiFirmwareFileSystem2Guid = {
    0x8C8CE578, 0x8A3D, 0x4F1C, {0x99, 0x35, 0x89, 0x61, 0x85, 0xC3, 0x2D, 0xD3}};
