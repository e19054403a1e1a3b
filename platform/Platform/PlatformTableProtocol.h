// PlatformTableProtocol: its interface holds, at byte offset 0x70, the address
// of the platform table; the table's total length is the UINT32 at its offset 4.
#pragma once
#include "Uefi/UefiBaseType.h"

constexpr UINTN kPlatformTableAddressOffset = 0x70;
constexpr UINTN kPlatformTableLengthOffset = 4;

inline constexpr EFI_GUID gPlatformTableProtocolGuid = {
    0x0273146C, 0x96C4, 0x45A1, {0xA7, 0xAF, 0x78, 0xE0, 0x52, 0x4A, 0x0A, 0xE2}};
// Names the platform table in its handoff-table event.
inline constexpr EFI_GUID gPlatformTableGuid = {
    0x11D8AC35, 0xFB8A, 0x44D1, {0x8D, 0x09, 0x0B, 0x56, 0x06, 0xD3, 0x21, 0xB9}};
