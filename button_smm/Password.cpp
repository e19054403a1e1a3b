// Whether the changing commands need the administrator password, and the
// password check itself.
#include "button_smm/Password.h"
#include "button_smm/Globals.h"

#include "Platform/PasswordServiceProtocol.h"
#include "Platform/SetupData.h"

namespace ButtonSmm {

namespace {

// Every password starts with this marker, in either case, with any spaces
// before each of its characters.
constexpr CHAR16 kMarkerUpper[] = u"<UTF-16/>";
constexpr CHAR16 kMarkerLower[] = u"<utf-16/>";
constexpr UINTN kMarkerLength = 9;

} // namespace

BOOLEAN PasswordRequired() {
  SetupData Setup;
  UINTN Size = sizeof(Setup);
  EFI_RUNTIME_SERVICES *Runtime = SmmRuntimeServices();
  if (Runtime == nullptr)
    return TRUE;
  EFI_STATUS Status =
      Runtime->GetVariable(kSetupVariableName, &gSetupVariableGuid, nullptr, &Size, &Setup);
  // A "Setup" too short to hold the guard is as unreadable as a missing one.
  if (EFI_ERROR(Status) || Size <= kSetupButtonPasswordGuard)
    return TRUE;
  return Setup.Bytes[kSetupButtonPasswordGuard] != 0;
}

BOOLEAN CheckAdminPassword(const WideSpan *Password) {
  if (Password == nullptr)
    return FALSE;
  UINTN At = 0;
  if (Password->Length != 0) {
    for (UINTN i = 0; i < kMarkerLength; ++i) {
      while (WideSpanAt(*Password, At) == u' ')
        ++At;
      CHAR16 Unit = WideSpanAt(*Password, At);
      if (Unit != kMarkerUpper[i] && Unit != kMarkerLower[i])
        return FALSE;
      ++At;
    }
  }
  if (gPasswordService == nullptr)
    gPasswordService =
        static_cast<PASSWORD_SERVICE_PROTOCOL *>(SmmProtocolLookup(&gPasswordServiceProtocolGuid));
  if (gPasswordService == nullptr)
    return FALSE;
  UINTN Length = Password->Length - At;
  // Only an exact EFI_SUCCESS accepts: a warning from the service is no proof
  // of the password.
  if (Length > 0)
    return gPasswordService->CheckPassword(
               u"AdminPW", 1, reinterpret_cast<const CHAR16 *>(Password->Units + 2 * At),
               2 * Length) == EFI_SUCCESS;
  UINT32 State = 0;
  return gPasswordService->GetPasswordState(&State) == EFI_SUCCESS &&
         State == PASSWORD_STATE_NO_ADMIN_PASSWORD;
}

} // namespace ButtonSmm
