// PpiConfirmOverrideProtocol: lets a platform component answer the
// physical-presence confirmation instead of the keyboard.
#pragma once
#include "Uefi/UefiBaseType.h"

// A non-zero low byte means the request is confirmed.
typedef UINTN(EFIAPI *PPI_CONFIRM_GET_DECISION)();

struct PpiConfirmOverrideProtocol {
  PPI_CONFIRM_GET_DECISION GetDecision; // slot 0
};
static_assert(sizeof(PpiConfirmOverrideProtocol) == 8, "one slot");

inline constexpr EFI_GUID gPpiConfirmOverrideProtocolGuid = {
    0x5F171F5F, 0x8385, 0x4086, {0xA6, 0x9B, 0x1F, 0xCF, 0x06, 0xAE, 0x4A, 0x3D}};
