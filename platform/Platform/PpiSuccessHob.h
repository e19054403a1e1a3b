// The GUID-extension HOB an earlier boot phase leaves when it has carried out a
// recorded physical-presence operation. Its presence alone counts.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gPpiSuccessHobGuid = {
    0xEFDC4223, 0x0CFF, 0x4106, {0xBF, 0xF5, 0xFD, 0x01, 0x5D, 0x25, 0x82, 0xF9}};
