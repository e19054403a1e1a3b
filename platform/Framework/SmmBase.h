// Framework SMM base protocol (Framework SMM Core Interface Specification):
// loads an image into SMRAM, tells a driver whether it runs in SMM and where
// the SMM system table is.
#pragma once
#include "Framework/SmmSystemTable.h"
#include "Uefi/UefiSpec.h"

struct EFI_SMM_BASE_PROTOCOL;

typedef EFI_STATUS(EFIAPI *EFI_SMM_CALLBACK_ENTRY_POINT)(EFI_HANDLE SmmImageHandle,
                                                         VOID *CommunicationBuffer,
                                                         UINTN *SourceSize);

typedef EFI_STATUS(EFIAPI *EFI_SMM_REGISTER_HANDLER)(EFI_SMM_BASE_PROTOCOL *This,
                                                     EFI_DEVICE_PATH_PROTOCOL *FilePath,
                                                     VOID *SourceBuffer, UINTN SourceSize,
                                                     EFI_HANDLE *ImageHandle,
                                                     BOOLEAN LegacyIA32Binary);
typedef EFI_STATUS(EFIAPI *EFI_SMM_UNREGISTER_HANDLER)(EFI_SMM_BASE_PROTOCOL *This,
                                                       EFI_HANDLE ImageHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_COMMUNICATE)(EFI_SMM_BASE_PROTOCOL *This, EFI_HANDLE ImageHandle,
                                                VOID *CommunicationBuffer, UINTN *SourceSize);
typedef EFI_STATUS(EFIAPI *EFI_SMM_CALLBACK_SERVICE)(EFI_SMM_BASE_PROTOCOL *This,
                                                     EFI_HANDLE SmmImageHandle,
                                                     EFI_SMM_CALLBACK_ENTRY_POINT CallbackAddress,
                                                     BOOLEAN MakeLast, BOOLEAN FloatingPointSave);
typedef EFI_STATUS(EFIAPI *EFI_SMM_INSIDE_OUT)(EFI_SMM_BASE_PROTOCOL *This, BOOLEAN *InSmm);
typedef EFI_STATUS(EFIAPI *EFI_SMM_ALLOCATE_POOL)(EFI_SMM_BASE_PROTOCOL *This,
                                                  EFI_MEMORY_TYPE PoolType, UINTN Size,
                                                  VOID **Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_FREE_POOL)(EFI_SMM_BASE_PROTOCOL *This, VOID *Buffer);
typedef EFI_STATUS(EFIAPI *EFI_SMM_GET_SMST_LOCATION)(EFI_SMM_BASE_PROTOCOL *This,
                                                      EFI_SMM_SYSTEM_TABLE **Smst);

struct EFI_SMM_BASE_PROTOCOL {
  EFI_SMM_REGISTER_HANDLER Register;
  EFI_SMM_UNREGISTER_HANDLER UnRegister;
  EFI_SMM_COMMUNICATE Communicate;
  EFI_SMM_CALLBACK_SERVICE RegisterCallback;
  EFI_SMM_INSIDE_OUT InSmm;
  EFI_SMM_ALLOCATE_POOL SmmAllocatePool;
  EFI_SMM_FREE_POOL SmmFreePool;
  EFI_SMM_GET_SMST_LOCATION GetSmstLocation;
};
static_assert(sizeof(EFI_SMM_BASE_PROTOCOL) == 8 * 8, "SMM base slot count");
static_assert(__builtin_offsetof(EFI_SMM_BASE_PROTOCOL, InSmm) == 4 * 8, "SMM base InSmm slot");
static_assert(__builtin_offsetof(EFI_SMM_BASE_PROTOCOL, GetSmstLocation) == 7 * 8,
              "SMM base GetSmstLocation slot");

inline constexpr EFI_GUID gEfiSmmBaseProtocolGuid = {
    0x1390954D, 0xDA95, 0x4227, {0x93, 0x28, 0x72, 0x82, 0xC2, 0x17, 0xDA, 0xA8}};
