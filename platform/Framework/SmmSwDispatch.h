// Framework software-SMI dispatch protocol.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_SMM_SW_DISPATCH_PROTOCOL;

struct EFI_SMM_SW_DISPATCH_CONTEXT {
  UINTN SwSmiInputValue;
};

typedef VOID(EFIAPI *EFI_SMM_SW_DISPATCH)(EFI_HANDLE DispatchHandle,
                                          EFI_SMM_SW_DISPATCH_CONTEXT *DispatchContext);
typedef EFI_STATUS(EFIAPI *EFI_SMM_SW_REGISTER)(EFI_SMM_SW_DISPATCH_PROTOCOL *This,
                                                EFI_SMM_SW_DISPATCH DispatchFunction,
                                                EFI_SMM_SW_DISPATCH_CONTEXT *DispatchContext,
                                                EFI_HANDLE *DispatchHandle);
typedef EFI_STATUS(EFIAPI *EFI_SMM_SW_UNREGISTER)(EFI_SMM_SW_DISPATCH_PROTOCOL *This,
                                                  EFI_HANDLE DispatchHandle);

struct EFI_SMM_SW_DISPATCH_PROTOCOL {
  EFI_SMM_SW_REGISTER Register;
  EFI_SMM_SW_UNREGISTER UnRegister;
  UINTN MaximumSwiValue;
};
static_assert(sizeof(EFI_SMM_SW_DISPATCH_PROTOCOL) == 24, "SW dispatch layout");

inline constexpr EFI_GUID gEfiSmmSwDispatchProtocolGuid = {
    0xE541B773, 0xDD11, 0x420C, {0xB0, 0x26, 0xDF, 0x99, 0x36, 0x53, 0xF8, 0xBF}};
