// Root system description pointer and the root tables it leads to (ACPI
// standard, "RSDP", "RSDT", "XSDT").
#pragma once
#include "Acpi/AcpiHeader.h"

#pragma pack(push, 1)
struct EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER {
  UINT64 Signature;
  UINT8 Checksum;
  UINT8 OemId[6];
  UINT8 Revision;
  UINT32 RsdtAddress;
  UINT32 Length;
  UINT64 XsdtAddress;
  UINT8 ExtendedChecksum;
  UINT8 Reserved[3];
};

// The entries follow the header: UINT32 addresses in the RSDT, UINT64 ones
// (unaligned at offset 36) in the XSDT.
struct EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_TABLE {
  EFI_ACPI_DESCRIPTION_HEADER Header;
  UINT32 Entry[1];
};

struct EFI_ACPI_EXTENDED_SYSTEM_DESCRIPTION_TABLE {
  EFI_ACPI_DESCRIPTION_HEADER Header;
  UINT64 Entry[1];
};
#pragma pack(pop)

static_assert(sizeof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER) == 36, "RSDP size");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, Checksum) == 8,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, OemId) == 9,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, Revision) == 15,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, RsdtAddress) == 16,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, Length) == 20,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, XsdtAddress) == 24,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER, ExtendedChecksum) == 32,
              "RSDP layout");
static_assert(__builtin_offsetof(EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_TABLE, Entry) == 36,
              "RSDT layout");
static_assert(__builtin_offsetof(EFI_ACPI_EXTENDED_SYSTEM_DESCRIPTION_TABLE, Entry) == 36,
              "XSDT layout");

// "RSD PTR " as a little-endian UINT64.
constexpr UINT64 EFI_ACPI_RSDP_SIGNATURE = 0x2052545020445352ULL;
constexpr UINT32 EFI_ACPI_RSDP_V1_LENGTH = 20;

inline constexpr EFI_GUID gEfiAcpiTableGuid = {
    0x8868E871, 0xE4F1, 0x11D3, {0xBC, 0x22, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81}};
inline constexpr EFI_GUID gEfiAcpi10TableGuid = {
    0xEB9D2D30, 0x2D88, 0x11D3, {0x9A, 0x16, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};
