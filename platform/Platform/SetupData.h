// "Setup": the firmware configuration variable both drivers read. Only the
// bytes named here are used; every other byte belongs to other components and
// is carried through unchanged on every write.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gSetupVariableGuid = {
    0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};
inline constexpr CHAR16 kSetupVariableName[] = u"Setup";

constexpr UINTN kSetupDataSize = 928;

struct SetupData {
  UINT8 Bytes[kSetupDataSize];
};
static_assert(sizeof(SetupData) == 928, "SetupData size");

enum SetupDataOffset : UINTN {
  kSetupTpmEnabled = 32,        // inverse of the permanent disable flag
  kSetupTpmActivated = 33,      // inverse of the permanent deactivated flag
  kSetupTpmOwned = 34,          // copy of the TPM owner flag
  kSetupDsdtFlagSwitch = 599,   // 1: start-up sets the DSDT object QESD to 1
  kSetupClearGuard = 600,       // non-zero: byte 604 is cleared at start-up
  kSetupTpmEnableSetting = 602, // inverse of the permanent disable flag
  kSetupClearedAtStartup = 604,
  kSetupNoPpiClear = 605,          // set by PPI operation 18
  kSetupButtonPasswordGuard = 771, // non-zero: button commands need the password
  kSetupMeasureSecureBoot = 810,   // non-zero: Secure Boot variables are measured
  kSetupNoPpiProvision = 834,      // set by PPI operation 16
  kSetupNoPpiMaintenance = 835,    // set by PPI operation 20
};
