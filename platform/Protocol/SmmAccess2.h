// SMM access 2 protocol (PI standard, volume 4): the SMRAM ranges and whether
// they are open or locked.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_SMRAM_DESCRIPTOR {
  EFI_PHYSICAL_ADDRESS PhysicalStart;
  EFI_PHYSICAL_ADDRESS CpuStart;
  UINT64 PhysicalSize;
  UINT64 RegionState;
};
static_assert(sizeof(EFI_SMRAM_DESCRIPTOR) == 32, "SMRAM descriptor");

struct EFI_SMM_ACCESS2_PROTOCOL;
struct EFI_SMM_ACCESS2_PROTOCOL {
  EFI_STATUS(EFIAPI *Open)(EFI_SMM_ACCESS2_PROTOCOL *This);
  EFI_STATUS(EFIAPI *Close)(EFI_SMM_ACCESS2_PROTOCOL *This);
  EFI_STATUS(EFIAPI *Lock)(EFI_SMM_ACCESS2_PROTOCOL *This);
  EFI_STATUS(EFIAPI *GetCapabilities)
  (const EFI_SMM_ACCESS2_PROTOCOL *This, UINTN *SmramMapSize, EFI_SMRAM_DESCRIPTOR *SmramMap);
  BOOLEAN LockState;
  BOOLEAN OpenState;
};
static_assert(__builtin_offsetof(EFI_SMM_ACCESS2_PROTOCOL, LockState) == 32, "SMM access 2");

inline constexpr EFI_GUID gEfiSmmAccess2ProtocolGuid = {
    0xC2702B74, 0x800C, 0x4131, {0x87, 0x46, 0x8F, 0xB5, 0xB8, 0x9C, 0xE4, 0xAC}};
