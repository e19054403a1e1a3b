// SMM CPU protocol (PI standard, volume 4): the saved processor state of the
// SMI being served.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_SMM_CPU_PROTOCOL;
struct EFI_SMM_CPU_PROTOCOL {
  EFI_STATUS(EFIAPI *ReadSaveState)
  (const EFI_SMM_CPU_PROTOCOL *This, UINTN Width, UINT32 Register, UINTN CpuIndex, VOID *Buffer);
  EFI_STATUS(EFIAPI *WriteSaveState)
  (const EFI_SMM_CPU_PROTOCOL *This, UINTN Width, UINT32 Register, UINTN CpuIndex,
   const VOID *Buffer);
};
static_assert(sizeof(EFI_SMM_CPU_PROTOCOL) == 16, "SMM CPU layout");

inline constexpr EFI_GUID gEfiSmmCpuProtocolGuid = {
    0xEB346B97, 0x975F, 0x4A9F, {0x8B, 0x22, 0xF8, 0xE9, 0x2B, 0xB3, 0xD5, 0x69}};
