// TpmDeviceProtocol: installed by the platform's TPM device driver; only its
// presence is looked at.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gTpmDeviceProtocolGuid = {
    0xDE161CFE, 0x1E60, 0x42A1, {0x8C, 0xC3, 0xEE, 0x7E, 0xF0, 0x73, 0x52, 0x12}};
