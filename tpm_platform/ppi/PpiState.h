// Module state of physical-presence processing, and the operations the
// request logic and the confirmation screen share.
#pragma once
#include "Uefi/UefiSpec.h"
#include "tpm_platform/ppi/PpiOperations.h"

namespace TpmPlatform {

// Result codes stored in "ZELTCGPPIVAR".
constexpr UINT16 kPpiResultSuccess = 0;
constexpr UINT16 kPpiResultRefused = 0xFFF0;
constexpr UINT16 kPpiResultFailed = 0xFFF1;

// Confirmation mode ("TCG" byte 4): 1 lets F2 refuse, 2 waives the screen.
constexpr UINT8 kPpiConfirmWithRefusal = 1;
constexpr UINT8 kPpiConfirmWaived = 2;

struct PpiModuleState {
  UINT8 CurrentOperation;
  UINT8 ConfirmationMode;
  BOOLEAN Processed;
  BOOLEAN Decision;
  UINT32 ResetType; // EFI_RESET_TYPE kept for the deferred reset
  EFI_EVENT ConsoleEvent;
  EFI_EVENT ResetEvent;
  VOID *ConsoleRegistration;
  VOID *ResetRegistration;
};

inline constexpr PpiModuleState kPpiInitialState = {
    0, kPpiConfirmWithRefusal, FALSE, FALSE, 0, nullptr, nullptr, nullptr, nullptr};
extern constinit PpiModuleState gPpi;

// Pending decision.
BOOLEAN IsPpiRequestPending();
BOOLEAN CanSkipConfirmation(UINT8 Operation);

VOID EFIAPI PpiRequestNotify(EFI_EVENT Event, VOID *Context);
EFI_STATUS ExecutePpiRequest(UINT8 Operation);
VOID SetPpiSetupFlag(UINT8 Operation);
VOID ResetPlatform(EFI_RESET_TYPE ResetType);
VOID EFIAPI ResetNotify(EFI_EVENT Event, VOID *Context);

// Confirmation screen and key wait.
VOID ShowPpiConfirmation(UINT8 Operation);
BOOLEAN WaitForPpiConfirmation();

} // namespace TpmPlatform
