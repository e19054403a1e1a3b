// EFI_ACPI_SUPPORT_PROTOCOL (Intel Platform Innovation Framework, ACPI support):
// the firmware's list of ACPI tables, reached by index.
#pragma once
#include "Uefi/UefiBaseType.h"

// Bit set of the ACPI versions a table belongs to.
typedef UINT32 EFI_ACPI_TABLE_VERSION;
constexpr EFI_ACPI_TABLE_VERSION EFI_ACPI_TABLE_VERSION_NONE = 1u << 0;
constexpr EFI_ACPI_TABLE_VERSION EFI_ACPI_TABLE_VERSION_1_0B = 1u << 1;
constexpr EFI_ACPI_TABLE_VERSION EFI_ACPI_TABLE_VERSION_2_0 = 1u << 2;
constexpr EFI_ACPI_TABLE_VERSION EFI_ACPI_TABLE_VERSION_3_0 = 1u << 3;

struct EFI_ACPI_SUPPORT_PROTOCOL;

// The table at Index (0-based, the RSDP, RSDT and XSDT excluded);
// EFI_NOT_FOUND past the last one.
typedef EFI_STATUS(EFIAPI *EFI_ACPI_GET_ACPI_TABLE)(EFI_ACPI_SUPPORT_PROTOCOL *This, INTN Index,
                                                    VOID **Table, EFI_ACPI_TABLE_VERSION *Version,
                                                    UINTN *Handle);
// Adds (Handle 0), replaces or, with a NULL Table, removes a table.
typedef EFI_STATUS(EFIAPI *EFI_ACPI_SET_ACPI_TABLE)(EFI_ACPI_SUPPORT_PROTOCOL *This,
                                                    const VOID *Table, BOOLEAN Checksum,
                                                    EFI_ACPI_TABLE_VERSION Version, UINTN *Handle);
typedef EFI_STATUS(EFIAPI *EFI_ACPI_PUBLISH_TABLES)(EFI_ACPI_SUPPORT_PROTOCOL *This,
                                                    EFI_ACPI_TABLE_VERSION Version);

struct EFI_ACPI_SUPPORT_PROTOCOL {
  EFI_ACPI_GET_ACPI_TABLE GetAcpiTable;
  EFI_ACPI_SET_ACPI_TABLE SetAcpiTable;
  EFI_ACPI_PUBLISH_TABLES PublishTables;
};
static_assert(sizeof(EFI_ACPI_SUPPORT_PROTOCOL) == 3 * 8, "ACPI support protocol slots");

inline constexpr EFI_GUID gEfiAcpiSupportProtocolGuid = {
    0xDBFF9D55, 0x89B7, 0x46DA, {0xBD, 0xDF, 0x67, 0x7D, 0x3D, 0xC0, 0x24, 0x1D}};
