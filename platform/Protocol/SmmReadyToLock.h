// The lock points of the PI SMM phase: the DXE-side protocol the boot manager
// installs before starting third-party code, and its SMM-side twin after which
// the SMM core dispatches nothing more.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gEfiDxeSmmReadyToLockProtocolGuid = {
    0x60FF8964, 0xE906, 0x41D0, {0xAF, 0xED, 0xF2, 0x41, 0xE9, 0x74, 0xE0, 0x8E}};
inline constexpr EFI_GUID gEfiSmmReadyToLockProtocolGuid = {
    0x47B7FA8C, 0xF4BD, 0x4AF6, {0x82, 0x00, 0x33, 0x30, 0x86, 0xF0, 0xD2, 0xC8}};
