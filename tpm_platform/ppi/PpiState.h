// Module state of physical-presence processing, and the operations the
// request logic and the confirmation screen share.
#pragma once
#include "Uefi/UefiSpec.h"

namespace TpmPlatform {

// Result codes stored in "ZELTCGPPIVAR".
constexpr UINT16 kPpiResultSuccess = 0;
constexpr UINT16 kPpiResultRefused = 0xFFF0;
constexpr UINT16 kPpiResultFailed = 0xFFF1;

// Operation codes with a behaviour of their own.
constexpr UINT8 kPpiClear = 5;
constexpr UINT8 kPpiDeferredPresence = 12;
constexpr UINT8 kPpiClearEnableActivate = 14;
constexpr UINT8 kPpiSetNoPpiProvisionFalse = 15;
constexpr UINT8 kPpiSetNoPpiProvisionTrue = 16;
constexpr UINT8 kPpiSetNoPpiClearFalse = 17;
constexpr UINT8 kPpiSetNoPpiClearTrue = 18;
constexpr UINT8 kPpiSetNoPpiMaintenanceFalse = 19;
constexpr UINT8 kPpiSetNoPpiMaintenanceTrue = 20;
constexpr UINT8 kPpiEnableActivateClear = 21;
constexpr UINT8 kPpiEnableActivateClearEnableActivate = 22;
constexpr UINT8 kPpiLastOperation = 22;

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

// Clear class: the operations that erase the TPM owner (keys F3 and F4).
constexpr bool IsClearClassOperation(UINT8 Operation) {
  return Operation == kPpiClear || Operation == kPpiClearEnableActivate ||
         Operation == kPpiSetNoPpiClearFalse || Operation == kPpiEnableActivateClear ||
         Operation == kPpiEnableActivateClearEnableActivate;
}

// Pending decision.
BOOLEAN IsPpiRequestPending();
BOOLEAN IsProvisioningOperation(UINT8 Operation);
BOOLEAN CanSkipConfirmation(UINT8 Operation);

// Six 2-bit fields naming the TPM actions in screen order.
UINT16 GetPpiActionMask(UINT8 Operation);

VOID EFIAPI PpiRequestNotify(EFI_EVENT Event, VOID *Context);
EFI_STATUS ExecutePpiRequest(UINT8 Operation);
VOID SetPpiSetupFlag(UINT8 Operation);
VOID ResetPlatform(EFI_RESET_TYPE ResetType);
VOID EFIAPI ResetNotify(EFI_EVENT Event, VOID *Context);

// Confirmation screen and key wait.
VOID ShowPpiConfirmation(UINT8 Operation);
BOOLEAN WaitForPpiConfirmation();

} // namespace TpmPlatform
