// Framework GPI (general-purpose input) SMI dispatch protocol.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_SMM_GPI_DISPATCH_PROTOCOL;

struct EFI_SMM_GPI_DISPATCH_CONTEXT {
  UINTN GpiNum;
};

typedef VOID(EFIAPI *EFI_SMM_GPI_DISPATCH)(EFI_HANDLE DispatchHandle,
                                           EFI_SMM_GPI_DISPATCH_CONTEXT *DispatchContext);
typedef EFI_STATUS(EFIAPI *EFI_SMM_GPI_REGISTER)(EFI_SMM_GPI_DISPATCH_PROTOCOL *This,
                                                 EFI_SMM_GPI_DISPATCH DispatchFunction,
                                                 EFI_SMM_GPI_DISPATCH_CONTEXT *DispatchContext,
                                                 EFI_HANDLE *DispatchHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_GPI_UNREGISTER)(EFI_SMM_GPI_DISPATCH_PROTOCOL *This,
                                                   EFI_HANDLE DispatchHandle);

struct EFI_SMM_GPI_DISPATCH_PROTOCOL {
  EFI_SMM_GPI_REGISTER Register;
  EFI_SMM_GPI_UNREGISTER UnRegister;
  UINTN NumSupportedGpis;
};
static_assert(sizeof(EFI_SMM_GPI_DISPATCH_PROTOCOL) == 24, "GPI dispatch layout");

inline constexpr EFI_GUID gEfiSmmGpiDispatchProtocolGuid = {
    0xE0744B81, 0x9513, 0x49CD, {0x8C, 0xEA, 0xE9, 0x24, 0x5E, 0x70, 0x39, 0xDA}};
