// Fixed ACPI description table, "FACP" (ACPI standard, revision 3 layout;
// an ACPI 1.0 FADT is the first 116 bytes).
#pragma once
#include "Acpi/AcpiHeader.h"

#pragma pack(push, 1)
struct EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE {
  EFI_ACPI_DESCRIPTION_HEADER Header;
  UINT32 FirmwareCtrl;
  UINT32 Dsdt;
  UINT8 Reserved0;
  UINT8 PreferredPmProfile;
  UINT16 SciInt;
  UINT32 SmiCmd;
  UINT8 AcpiEnable;
  UINT8 AcpiDisable;
  UINT8 S4BiosReq;
  UINT8 PstateCnt;
  UINT32 Pm1aEvtBlk;
  UINT32 Pm1bEvtBlk;
  UINT32 Pm1aCntBlk;
  UINT32 Pm1bCntBlk;
  UINT32 Pm2CntBlk;
  UINT32 PmTmrBlk;
  UINT32 Gpe0Blk;
  UINT32 Gpe1Blk;
  UINT8 Pm1EvtLen;
  UINT8 Pm1CntLen;
  UINT8 Pm2CntLen;
  UINT8 PmTmrLen;
  UINT8 Gpe0BlkLen;
  UINT8 Gpe1BlkLen;
  UINT8 Gpe1Base;
  UINT8 CstCnt;
  UINT16 PLvl2Lat;
  UINT16 PLvl3Lat;
  UINT16 FlushSize;
  UINT16 FlushStride;
  UINT8 DutyOffset;
  UINT8 DutyWidth;
  UINT8 DayAlrm;
  UINT8 MonAlrm;
  UINT8 Century;
  UINT16 IaPcBootArch;
  UINT8 Reserved1;
  UINT32 Flags;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE ResetReg;
  UINT8 ResetValue;
  UINT8 Reserved2[3];
  UINT64 XFirmwareCtrl;
  UINT64 XDsdt;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPm1aEvtBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPm1bEvtBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPm1aCntBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPm1bCntBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPm2CntBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XPmTmrBlk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XGpe0Blk;
  EFI_ACPI_GENERIC_ADDRESS_STRUCTURE XGpe1Blk;
};

// The firmware ACPI control structure the FADT points at.
struct EFI_ACPI_FIRMWARE_ACPI_CONTROL_STRUCTURE {
  UINT32 Signature;
  UINT32 Length;
  UINT32 HardwareSignature;
  UINT32 FirmwareWakingVector;
  UINT32 GlobalLock;
  UINT32 Flags;
  UINT64 XFirmwareWakingVector;
  UINT8 Version;
  UINT8 Reserved[31];
};
#pragma pack(pop)

static_assert(sizeof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE) == 244, "FADT size");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, FirmwareCtrl) == 36,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Dsdt) == 40, "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, SciInt) == 46,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, SmiCmd) == 48,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Pm1aEvtBlk) == 56,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Gpe1Blk) == 84,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Pm1EvtLen) == 88,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, PLvl2Lat) == 96,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, DutyOffset) == 104,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Century) == 108,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, IaPcBootArch) == 109,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Flags) == 112,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, ResetReg) == 116,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, ResetValue) == 128,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, XFirmwareCtrl) == 132,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, XDsdt) == 140,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, XPm1aEvtBlk) == 148,
              "FADT layout");
static_assert(__builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, XGpe1Blk) == 232,
              "FADT layout");
static_assert(sizeof(EFI_ACPI_FIRMWARE_ACPI_CONTROL_STRUCTURE) == 64, "FACS size");
static_assert(__builtin_offsetof(EFI_ACPI_FIRMWARE_ACPI_CONTROL_STRUCTURE, XFirmwareWakingVector) ==
                  24,
              "FACS layout");

constexpr UINT32 EFI_ACPI_1_0_FADT_LENGTH = 116;
// The last byte of the 32-bit DSDT address field: a shorter FADT has no DSDT.
constexpr UINT32 EFI_ACPI_FADT_DSDT_END =
    __builtin_offsetof(EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE, Dsdt) + 4;
