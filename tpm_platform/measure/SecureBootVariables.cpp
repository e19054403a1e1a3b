// Secure Boot variables into PCR 7, gated by "Setup" and by the presence of a
// platform key.
#include "Guid/ImageAuthentication.h"
#include "Platform/SetupData.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {

struct SecureBootVariable {
  const CHAR16 *Name;
  const EFI_GUID *Guid;
  UINT32 EventType;
};

constexpr UINT32 EV_EFI_IMAGE_EXEC_TABLE = 0x8000000F;

// Measured in this order. The last row is carried for platforms that want the
// image execution table; the loop stops before it.
constexpr SecureBootVariable kSecureBootVariables[] = {
    {u"SecureBoot", &gEfiGlobalVariableGuid, EV_EFI_VARIABLE_DRIVER_CONFIG},
    {u"PK", &gEfiGlobalVariableGuid, EV_EFI_VARIABLE_DRIVER_CONFIG},
    {u"KEK", &gEfiGlobalVariableGuid, EV_EFI_VARIABLE_DRIVER_CONFIG},
    {u"db", &gEfiImageSecurityDatabaseGuid, EV_EFI_VARIABLE_DRIVER_CONFIG},
    {u"dbx", &gEfiImageSecurityDatabaseGuid, EV_EFI_VARIABLE_DRIVER_CONFIG},
    {u"ImageExecTable", &gEfiGlobalVariableGuid, EV_EFI_IMAGE_EXEC_TABLE},
};
constexpr UINTN kMeasuredSecureBootVariables = 5;

} // namespace

EFI_STATUS EFIAPI MeasureSecureBootVariables() {
  UINT8 *Setup = nullptr;
  UINTN SetupSize = 0;
  if (EFI_ERROR(ReadSetupAllocated(&Setup, nullptr, &SetupSize)) || Setup == nullptr)
    return EFI_NOT_FOUND;
  // A "Setup" too short to hold the switch counts as unreadable.
  const bool Short = SetupSize <= kSetupMeasureSecureBoot;
  const bool Enabled = !Short && Setup[kSetupMeasureSecureBoot] != 0;
  gBS->FreePool(Setup);
  if (Short)
    return EFI_NOT_FOUND;
  if (!Enabled)
    return EFI_UNSUPPORTED;

  VOID *Tcg = nullptr;
  EFI_STATUS Result = gBS->LocateProtocol(&gEfiTcgProtocolGuid, nullptr, &Tcg);

  // Without a platform key nothing is measured, not even "SecureBoot".
  UINTN Size = 0;
  VOID *PlatformKey = ReadVariableAlloc(u"PK", &gEfiGlobalVariableGuid, &Size);
  if (PlatformKey == nullptr)
    return EFI_UNSUPPORTED;
  gBS->FreePool(PlatformKey);

  for (UINTN Index = 0; Index < kMeasuredSecureBootVariables; ++Index) {
    const SecureBootVariable &Variable = kSecureBootVariables[Index];
    VOID *Data = ReadVariableAlloc(Variable.Name, Variable.Guid, &Size);
    if (Data == nullptr)
      continue;
    Result = MeasureVariable(kPcrSecureBoot, Variable.EventType, Variable.Name, Variable.Guid, Data,
                             Size);
    gBS->FreePool(Data);
  }
  return Result;
}

} // namespace TpmPlatform
