// "ZELQRBSetup": settings of the platform's quick-boot component. The
// confirmation screen reads only its last byte.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gQrbSetupVariableGuid = {
    0xC811FA38, 0x42C8, 0x4579, {0xA9, 0xBB, 0x60, 0xE9, 0x4E, 0xDD, 0xFB, 0x34}};
inline constexpr CHAR16 kQrbSetupVariableName[] = u"ZELQRBSetup";

constexpr UINTN kQrbSetupSize = 181;
// 0: the screen starts with one blank line.
constexpr UINTN kQrbSetupBlankLineOffset = 180;
