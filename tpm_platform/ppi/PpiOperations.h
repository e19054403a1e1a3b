// The physical-presence operations and what each one means to the driver: one
// row per operation code, read by the pending decision, the confirmation
// screen, the key wait and the request's execution.
#pragma once
#include "Platform/SetupData.h"
#include "Uefi/UefiBaseType.h"
#include "tpm_platform/ppi/ScreenTokens.h"

namespace TpmPlatform {

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

// Which of the platform's standing waivers lets the operation run without the
// user's confirmation.
enum class PpiWaiver : UINT8 {
  None,
  NoPpiProvision,         // "no PPI provision" set and the TPM has no owner
  NoPpiClear,             // "no PPI clear" set
  NoPpiMaintenance,       // "no PPI maintenance" set
  NoPpiClearAndProvision, // both of the first two, and no owner
};

struct PpiOperationInfo {
  // Six 2-bit fields naming the TPM actions in screen order: enable/disable,
  // activate/deactivate, owner install true/false, clear, enable again,
  // activate again.
  UINT16 ActionMask;
  ScreenToken Note;    // 0: no note line
  ScreenToken Warning; // 0: no warning line
  // Erases the TPM owner: the clear opening of the confirmation sentence and
  // keys F3 and F4.
  BOOLEAN ClearClass;
  // Operations 15 to 20 change a "Setup" flag and send no TPM command.
  BOOLEAN FlagOperation;
  PpiWaiver Waiver;
  UINT16 SetupFlag;             // "Setup" byte the operation sets to 1; 0: none
  ScreenToken FlagRequest;      // request sentence of a flag operation; 0: none
  ScreenToken FlagConfirmation; // closing of its confirmation sentence; 0: none
};

namespace ppi_rows {
constexpr ScreenToken kNone = ScreenToken(0);
constexpr PpiOperationInfo Tpm(UINT16 Mask, ScreenToken Note, ScreenToken Warning,
                               BOOLEAN ClearClass, PpiWaiver Waiver) {
  return {Mask, Note, Warning, ClearClass, FALSE, Waiver, 0, kNone, kNone};
}
constexpr PpiOperationInfo Flag(BOOLEAN ClearClass, UINT16 SetupFlag, ScreenToken Request,
                                ScreenToken Confirmation) {
  return {0, kNone, kNone, ClearClass, TRUE, PpiWaiver::None, SetupFlag, Request, Confirmation};
}
} // namespace ppi_rows

inline constexpr PpiOperationInfo kPpiOperations[kPpiLastOperation + 1] = {
    // clang-format off
    //            actions note                warning                   clear  waiver
    ppi_rows::Tpm(0x000, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::None),           // 0: no request
    ppi_rows::Tpm(0x001, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 1: enable
    ppi_rows::Tpm(0x002, ppi_rows::kNone,     kTokenWarningDisable,     FALSE, PpiWaiver::NoPpiProvision), // 2: disable
    ppi_rows::Tpm(0x004, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 3: activate
    ppi_rows::Tpm(0x008, ppi_rows::kNone,     kTokenWarningDisable,     FALSE, PpiWaiver::NoPpiProvision), // 4: deactivate
    ppi_rows::Tpm(0x040, ppi_rows::kNone,     kTokenWarningClear,       TRUE,  PpiWaiver::NoPpiClear),     // 5: clear
    ppi_rows::Tpm(0x005, kTokenNoteEnabled,   ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 6: enable + activate
    ppi_rows::Tpm(0x00A, kTokenNoteDisabled,  kTokenWarningDisable,     FALSE, PpiWaiver::NoPpiProvision), // 7: deactivate + disable
    ppi_rows::Tpm(0x010, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 8: owner install true
    ppi_rows::Tpm(0x020, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 9: owner install false
    ppi_rows::Tpm(0x015, kTokenNoteEnabled,   ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 10: enable + activate + owner install true
    ppi_rows::Tpm(0x02A, kTokenNoteDisabled,  kTokenWarningDisable,     FALSE, PpiWaiver::NoPpiProvision), // 11: owner install false + deactivate + disable
    ppi_rows::Tpm(0x000, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiMaintenance), // 12: deferred physical presence
    ppi_rows::Tpm(0x000, ppi_rows::kNone,     ppi_rows::kNone,          FALSE, PpiWaiver::NoPpiProvision), // 13: set operator auth
    ppi_rows::Tpm(0x045, kTokenNoteCleared,   kTokenWarningClearEnable, TRUE,  PpiWaiver::NoPpiClearAndProvision), // 14: clear + enable + activate
    //             clear  "Setup" byte            request                        confirmation
    ppi_rows::Flag(FALSE, 0,                      ppi_rows::kNone,               ppi_rows::kNone),               // 15
    ppi_rows::Flag(FALSE, kSetupNoPpiProvision,   kTokenRequestNoPpiProvision,   kTokenConfirmNoPpiProvision),   // 16
    ppi_rows::Flag(TRUE,  0,                      ppi_rows::kNone,               ppi_rows::kNone),               // 17
    ppi_rows::Flag(FALSE, kSetupNoPpiClear,       kTokenRequestNoPpiClear,       kTokenConfirmNoPpiClear),       // 18
    ppi_rows::Flag(FALSE, 0,                      ppi_rows::kNone,               ppi_rows::kNone),               // 19
    ppi_rows::Flag(FALSE, kSetupNoPpiMaintenance, kTokenRequestNoPpiMaintenance, kTokenConfirmNoPpiMaintenance), // 20
    ppi_rows::Tpm(0x045, ppi_rows::kNone,     kTokenWarningClear,       TRUE,  PpiWaiver::NoPpiClear),     // 21: enable + activate + clear
    ppi_rows::Tpm(0x545, kTokenNoteCleared,   kTokenWarningClearEnable, TRUE,  PpiWaiver::NoPpiClearAndProvision), // 22: enable + activate + clear + enable + activate
    // clang-format on
};

// The row of an operation; codes past the last read as row 0 (no request).
constexpr const PpiOperationInfo &PpiOperation(UINT8 Operation) {
  return kPpiOperations[Operation <= kPpiLastOperation ? Operation : 0];
}

} // namespace TpmPlatform
