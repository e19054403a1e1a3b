// Signature databases of UEFI Secure Boot (UEFI standard, "Signature Database").
#pragma once
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
struct EFI_SIGNATURE_LIST {
  EFI_GUID SignatureType;
  UINT32 SignatureListSize;
  UINT32 SignatureHeaderSize;
  UINT32 SignatureSize;
};
#pragma pack(pop)
static_assert(sizeof(EFI_SIGNATURE_LIST) == 28, "EFI_SIGNATURE_LIST");

inline constexpr EFI_GUID gEfiImageSecurityDatabaseGuid = {
    0xD719B2CB, 0x3D3A, 0x4596, {0xA3, 0xBC, 0xDA, 0xD0, 0x0E, 0x67, 0x65, 0x6F}};
inline constexpr EFI_GUID gEfiCertX509Guid = {
    0xA5C059A1, 0x94E4, 0x4AA7, {0x87, 0xB5, 0xAB, 0x15, 0x5C, 0x2B, 0xF0, 0x72}};
inline constexpr EFI_GUID gEfiCertSha256Guid = {
    0xC1C41626, 0x504C, 0x4092, {0xAC, 0xA9, 0x41, 0xF9, 0x36, 0xB9, 0x32, 0x28}};
