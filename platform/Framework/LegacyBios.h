// EFI_LEGACY_BIOS_PROTOCOL (Framework Compatibility Support Module standard).
// Only CheckPciRom is called by the drivers; the other slots keep the published order.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_LEGACY_BIOS_PROTOCOL;

typedef EFI_STATUS(EFIAPI *EFI_LEGACY_BIOS_CHECK_ROM)(EFI_LEGACY_BIOS_PROTOCOL *This,
                                                      EFI_HANDLE PciHandle, VOID **RomImage,
                                                      UINTN *RomSize, UINTN *Flags);

struct EFI_LEGACY_BIOS_PROTOCOL {
  VOID *Int86;
  VOID *FarCall86;
  EFI_LEGACY_BIOS_CHECK_ROM CheckPciRom;
  VOID *InstallPciRom;
  VOID *LegacyBoot;
  VOID *UpdateKeyboardLedStatus;
  VOID *GetBbsInfo;
  VOID *ShadowAllLegacyOproms;
  VOID *PrepareToBootEfi;
  VOID *GetLegacyRegion;
  VOID *CopyLegacyRegion;
  VOID *BootUnconventionalDevice;
};
static_assert(__builtin_offsetof(EFI_LEGACY_BIOS_PROTOCOL, CheckPciRom) == 16,
              "Legacy BIOS layout");
static_assert(sizeof(EFI_LEGACY_BIOS_PROTOCOL) == 96, "Legacy BIOS layout");

// Flags reported by CheckPciRom.
constexpr UINTN LEGACY_PCI_ROM_NONE = 0x00;
constexpr UINTN LEGACY_PCI_ROM_FOUND = 0x01;
constexpr UINTN LEGACY_PCI_ROM_VALID = 0x02;

inline constexpr EFI_GUID gEfiLegacyBiosProtocolGuid = {
    0xDB9A1E3D, 0x45CB, 0x4ABB, {0x85, 0x3B, 0xE5, 0x38, 0x7F, 0xDB, 0x2E, 0x2D}};
