// SMM variable protocol (PI SMM variable service): the variable store's
// services callable inside SMM, with the runtime services' signatures.
#pragma once
#include "Uefi/UefiSpec.h"

struct EFI_SMM_VARIABLE_PROTOCOL {
  EFI_GET_VARIABLE SmmGetVariable;
  EFI_GET_NEXT_VARIABLE_NAME SmmGetNextVariableName;
  EFI_SET_VARIABLE SmmSetVariable;
  VOID *SmmQueryVariableInfo;
};
static_assert(sizeof(EFI_SMM_VARIABLE_PROTOCOL) == 32, "SMM variable layout");

inline constexpr EFI_GUID gEfiSmmVariableProtocolGuid = {
    0xED32D533, 0x99E6, 0x4209, {0x9C, 0xC0, 0x2D, 0x72, 0xCD, 0xD9, 0x98, 0xA7}};
