// The common header of every ACPI description table and the generic address
// structure (ACPI standard, "System Description Tables").
#pragma once
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
struct EFI_ACPI_DESCRIPTION_HEADER {
  UINT32 Signature;
  UINT32 Length;
  UINT8 Revision;
  UINT8 Checksum;
  UINT8 OemId[6];
  UINT64 OemTableId;
  UINT32 OemRevision;
  UINT32 CreatorId;
  UINT32 CreatorRevision;
};

struct EFI_ACPI_GENERIC_ADDRESS_STRUCTURE {
  UINT8 AddressSpaceId;
  UINT8 RegisterBitWidth;
  UINT8 RegisterBitOffset;
  UINT8 AccessSize;
  UINT64 Address;
};
#pragma pack(pop)

static_assert(sizeof(EFI_ACPI_DESCRIPTION_HEADER) == 36, "description header size");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, Length) == 4, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, Revision) == 8, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, Checksum) == 9, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, OemId) == 10, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, OemTableId) == 16, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, OemRevision) == 24, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, CreatorId) == 28, "header layout");
static_assert(__builtin_offsetof(EFI_ACPI_DESCRIPTION_HEADER, CreatorRevision) == 32,
              "header layout");
static_assert(sizeof(EFI_ACPI_GENERIC_ADDRESS_STRUCTURE) == 12, "generic address size");
static_assert(__builtin_offsetof(EFI_ACPI_GENERIC_ADDRESS_STRUCTURE, Address) == 4,
              "generic address layout");

// A table signature as the little-endian UINT32 of its four ASCII bytes.
constexpr UINT32 AcpiSignature(char A, char B, char C, char D) {
  return UINT32(UINT8(A)) | UINT32(UINT8(B)) << 8 | UINT32(UINT8(C)) << 16 | UINT32(UINT8(D)) << 24;
}

constexpr UINT32 EFI_ACPI_FADT_SIGNATURE = AcpiSignature('F', 'A', 'C', 'P');
constexpr UINT32 EFI_ACPI_DSDT_SIGNATURE = AcpiSignature('D', 'S', 'D', 'T');
constexpr UINT32 EFI_ACPI_FACS_SIGNATURE = AcpiSignature('F', 'A', 'C', 'S');
constexpr UINT32 EFI_ACPI_RSDT_SIGNATURE = AcpiSignature('R', 'S', 'D', 'T');
constexpr UINT32 EFI_ACPI_XSDT_SIGNATURE = AcpiSignature('X', 'S', 'D', 'T');
constexpr UINT32 EFI_ACPI_APIC_SIGNATURE = AcpiSignature('A', 'P', 'I', 'C');
constexpr UINT32 EFI_ACPI_HPET_SIGNATURE = AcpiSignature('H', 'P', 'E', 'T');
constexpr UINT32 EFI_ACPI_MCFG_SIGNATURE = AcpiSignature('M', 'C', 'F', 'G');
constexpr UINT32 EFI_ACPI_SSDT_SIGNATURE = AcpiSignature('S', 'S', 'D', 'T');
