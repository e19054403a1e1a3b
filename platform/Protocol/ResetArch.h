// Reset Architectural Protocol (PI standard, DXE architectural
// protocols). Its installation means ResetSystem works; it has no members.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gEfiResetArchProtocolGuid = {
    0x27CFAC88, 0x46CC, 0x11D4, {0x9A, 0x38, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};
