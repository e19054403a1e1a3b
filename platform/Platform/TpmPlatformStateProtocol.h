// TpmPlatformStateProtocol: a read-only byte record about the platform's TPM
// state, produced by another platform component. Its interface pointer is the
// record; consumers skip the first byte, so the offsets below count from
// interface + kTpmPlatformStateSkip.
#pragma once
#include "Uefi/UefiBaseType.h"

inline constexpr EFI_GUID gTpmPlatformStateProtocolGuid = {
    0xBB6CBEFF, 0xE072, 0x40D2, {0xA6, 0xEB, 0xBA, 0xB7, 0x5B, 0xDE, 0x87, 0xE7}};

constexpr UINTN kTpmPlatformStateSkip = 1;

// Offsets of the bytes in use, counted after the skipped first byte.
enum TpmPlatformStateOffset : UINTN {
  kTpmStatePpiEnabled = 0,          // zero: pending requests are not processed
  kTpmStatePpiEnabled2 = 2,         // zero: pending requests are not processed
  kTpmStatePpiOperation = 18,       // pending operation code
  kTpmStatePpiForcePending = 20,    // 1: a request counts as pending
  kTpmStatePpiNoRequest = 21,       // non-zero: nothing is pending
  kTpmStatePpiNoConfirmForced = 24, // with offset 20 = 1: no confirmation
  kTpmStateNoPpiProvision = 25,
  kTpmStateNoPpiClear = 26,
  kTpmStateNoPpiMaintenance = 27,
  kTpmStateBootVariablesPcr1 = 31, // non-zero: boot variables go to PCR 1, else PCR 5
  kTpmStateSkipConfirmation = 32,  // non-zero: carry out without the screen
};

// Bytes a producer must provide after the skipped one.
constexpr UINTN kTpmPlatformStateMinSize = 33;
