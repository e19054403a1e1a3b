// EFI_SIGNATURE_LISTs generated at build time (SecureBootKeys.cmake): one
// X.509 certificate each, signature owner kSignatureOwner.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <cstdint>
#include <span>

namespace sim::bootmgr {

extern const std::span<const uint8_t> kPKSignatureList;
extern const std::span<const uint8_t> kKEKSignatureList;
extern const std::span<const uint8_t> kdbSignatureList;
extern const std::span<const uint8_t> kdbxSignatureList;

inline constexpr EFI_GUID kSignatureOwner = {
    0x5C7A2E1B, 0x8D3F, 0x4A61, {0x9B, 0x0E, 0x2F, 0x4D, 0x6C, 0x8A, 0x1E, 0x37}};

} // namespace sim::bootmgr
