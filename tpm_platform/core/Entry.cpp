// The driver's entry point: the start-up sequence. Its order is fixed and no
// step's failure stops a later one; only the hook-table installation status is
// returned.
#include "Framework/AcpiSupport.h"
#include "Platform/PpiSuccessHob.h"
#include "Platform/TpmPlatformStateProtocol.h"
#include "support/Strings.h"
#include "tpm_platform/acpi/DsdtPatch.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/HobList.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/core/StateVariables.h"
#include "tpm_platform/core/StringPackage.h"

namespace TpmPlatform {

namespace {

constexpr UINT8 kDsdtFlagOn = 1;
constexpr CHAR8 kDsdtFlagName[] = "QESD";

VOID RecordEarlierPpiSuccess() {
  if (FindGuidHobData(gST->NumberOfTableEntries, gST->ConfigurationTable, &gPpiSuccessHobGuid) !=
      nullptr)
    RecordPpiResult(0);
}

VOID PatchDsdtWhenAsked() {
  SetupData setup;
  if (EFI_ERROR(ReadSetupVariable(&setup, nullptr, nullptr)) ||
      setup.Bytes[kSetupDsdtFlagSwitch] != kDsdtFlagOn)
    return;
  EFI_ACPI_SUPPORT_PROTOCOL *acpi = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiAcpiSupportProtocolGuid, nullptr,
                                    reinterpret_cast<VOID **>(&acpi))))
    return;
  VOID *dsdt = FindDsdt(acpi);
  if (dsdt != nullptr)
    (void)PatchDsdtNameValue(dsdt, kDsdtFlagName, 1);
}

VOID FindTpmPlatformState() {
  VOID *state = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gTpmPlatformStateProtocolGuid, nullptr, &state)) &&
      state != nullptr)
    gTpmPlatformState = static_cast<const UINT8 *>(state) + kTpmPlatformStateSkip;
}

VOID ReadTpmState() {
  FillBytes(&gTpmFlagsCache, sizeof(gTpmFlagsCache), 0);
  EFI_TCG_PROTOCOL *tcg = nullptr;
  if (EFI_ERROR(LocateTcg(&tcg)))
    return;
  gTpmOwnedFlag = TpmReadOwned(tcg);
  TpmReadPermanentFlags(tcg, &gTpmFlagsCache);
}

} // namespace

} // namespace TpmPlatform

extern "C" EFI_STATUS EFIAPI TpmPlatformDxeEntry(EFI_HANDLE ImageHandle,
                                                 EFI_SYSTEM_TABLE *SystemTable) {
  using namespace TpmPlatform;
  RecordServiceTables(&gCore.Services, ImageHandle, SystemTable);
  ClearPpiRequest();
  (void)SyncTcgStateVariable();
  WritePpiCmosFlag(0);
  RecordEarlierPpiSuccess();
  PatchDsdtWhenAsked();
  FindTpmPlatformState();
  ReadTpmState();
  (void)SyncSetupWithTpm();
  EFI_HANDLE handle = gImageHandle;
  EFI_STATUS status = gBS->InstallProtocolInterface(&handle, &gPlatformHooksProtocolGuid,
                                                    EFI_NATIVE_INTERFACE, &gPlatformHooks);
  (void)LoadStringPackage(gImageHandle, &gStringPackageHandle);
  return status;
}
