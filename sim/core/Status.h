// EFI_STATUS names for reports, board files and command lines.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <optional>
#include <string>
#include <string_view>

namespace sim {

// "EFI_NOT_FOUND"; unknown codes as "EFI_STATUS(0x...)".
std::string StatusText(EFI_STATUS status);
// Accepts "EFI_NOT_FOUND", "NOT_FOUND" or a number ("0x800000000000000E").
std::optional<EFI_STATUS> ParseStatus(std::string_view text);

} // namespace sim
