// WakeInfoHob: GUID-extension HOB of the earlier boot phase whose data starts
// with a UINT32 wake source.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gWakeInfoHobGuid = {
    0xBBB810BB, 0x5EF0, 0x4E8F, {0xB2, 0x98, 0xAD, 0x74, 0xAA, 0x50, 0xEF, 0x0A}};
