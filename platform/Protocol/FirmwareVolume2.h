// EFI_FIRMWARE_VOLUME2_PROTOCOL (PI standard, volume 3).
#pragma once
#include "Pi/PiFirmwareFile.h"
#include "Uefi/UefiBaseType.h"

typedef UINT64 EFI_FV_ATTRIBUTES;
typedef UINT32 EFI_FV_FILE_ATTRIBUTES;
typedef UINT8 EFI_SECTION_TYPE;
typedef UINT32 EFI_FV_WRITE_POLICY;

struct EFI_FIRMWARE_VOLUME2_PROTOCOL;
struct EFI_FV_WRITE_FILE_DATA;

typedef EFI_STATUS(EFIAPI *EFI_FV_GET_ATTRIBUTES)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                                  EFI_FV_ATTRIBUTES *FvAttributes);
typedef EFI_STATUS(EFIAPI *EFI_FV_SET_ATTRIBUTES)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                                  EFI_FV_ATTRIBUTES *FvAttributes);
typedef EFI_STATUS(EFIAPI *EFI_FV_READ_FILE)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                             const EFI_GUID *NameGuid, VOID **Buffer,
                                             UINTN *BufferSize, EFI_FV_FILETYPE *FoundType,
                                             EFI_FV_FILE_ATTRIBUTES *FileAttributes,
                                             UINT32 *AuthenticationStatus);
typedef EFI_STATUS(EFIAPI *EFI_FV_READ_SECTION)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                                const EFI_GUID *NameGuid,
                                                EFI_SECTION_TYPE SectionType, UINTN SectionInstance,
                                                VOID **Buffer, UINTN *BufferSize,
                                                UINT32 *AuthenticationStatus);
typedef EFI_STATUS(EFIAPI *EFI_FV_WRITE_FILE)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                              UINT32 NumberOfFiles, EFI_FV_WRITE_POLICY WritePolicy,
                                              EFI_FV_WRITE_FILE_DATA *FileData);
typedef EFI_STATUS(EFIAPI *EFI_FV_GET_NEXT_FILE)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                                 VOID *Key, EFI_FV_FILETYPE *FileType,
                                                 EFI_GUID *NameGuid,
                                                 EFI_FV_FILE_ATTRIBUTES *Attributes, UINTN *Size);
typedef EFI_STATUS(EFIAPI *EFI_FV_GET_INFO)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                            const EFI_GUID *InformationType, UINTN *BufferSize,
                                            VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_FV_SET_INFO)(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                            const EFI_GUID *InformationType, UINTN BufferSize,
                                            const VOID *Buffer);

struct EFI_FIRMWARE_VOLUME2_PROTOCOL {
  EFI_FV_GET_ATTRIBUTES GetVolumeAttributes;
  EFI_FV_SET_ATTRIBUTES SetVolumeAttributes;
  EFI_FV_READ_FILE ReadFile;
  EFI_FV_READ_SECTION ReadSection;
  EFI_FV_WRITE_FILE WriteFile;
  EFI_FV_GET_NEXT_FILE GetNextFile;
  UINT32 KeySize;
  EFI_HANDLE ParentHandle;
  EFI_FV_GET_INFO GetInfo;
  EFI_FV_SET_INFO SetInfo;
};
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME2_PROTOCOL, GetNextFile) == 40, "FV2 layout");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME2_PROTOCOL, KeySize) == 48, "FV2 layout");
static_assert(__builtin_offsetof(EFI_FIRMWARE_VOLUME2_PROTOCOL, ParentHandle) == 56, "FV2 layout");
static_assert(sizeof(EFI_FIRMWARE_VOLUME2_PROTOCOL) == 80, "FV2 layout");

inline constexpr EFI_GUID gEfiFirmwareVolume2ProtocolGuid = {
    0x220E73B6, 0x6BDB, 0x4413, {0x84, 0x05, 0xB9, 0x74, 0xB1, 0x08, 0x61, 0x9A}};
