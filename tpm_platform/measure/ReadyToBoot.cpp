// ReadyToBootHook (hook slot 4): the boot-path measurements, made when the boot
// manager is about to start a boot option, and the physical-presence lock.
#include "Platform/MeasureOverrideProtocols.h"
#include "Platform/TpmDeviceProtocol.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

constinit MeasureState gMeasure = kMeasureInitialState;

constexpr MEASUREMENT_STEP MeasurementStepTable[kMeasurementStepCount] = {
    OptionRomHook,        MeasureHandoffTables,       MicrocodeHook,
    MeasureBootVariables, MeasureSecureBootVariables, MeasureSeparators,
    MeasureWakeEvent,
};

namespace {
constexpr CHAR8 kCallingBootOption[] = "Calling EFI Application from Boot Option";
constexpr CHAR8 kReturningFromBootOption[] = "Returning from EFI Application from Boot Option";
constexpr UINT8 kPhysicalPresenceLock[] = {TPM_PHYSICAL_PRESENCE_LOCK >> 8,
                                           TPM_PHYSICAL_PRESENCE_LOCK & 0xFF};
constexpr EFI_TPL kReadyToBootTpl = TPL_CALLBACK - 1;

VOID EFIAPI EmptyNotify(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
}
} // namespace

EFI_STATUS CreateReadyToBootEvent(EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                  VOID *NotifyContext, EFI_EVENT *Event) {
  return gBS->CreateEventEx(EVT_NOTIFY_SIGNAL, NotifyTpl,
                            NotifyFunction ? NotifyFunction : EmptyNotify, NotifyContext,
                            &gEfiEventReadyToBootGuid, Event);
}

VOID EFIAPI ReadyToBootCallback(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  (void)Context;
  EFI_TCG_PROTOCOL *Tcg = nullptr;
  if (EFI_ERROR(LocateTcg(&Tcg)))
    return;
  VOID *TpmDevice = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gTpmDeviceProtocolGuid, nullptr, &TpmDevice)))
    return;

  if (gReadyToBootCount == 0) {
    MeasurementStepTable[kStepWakeEvent]();
    MeasurementStepTable[kStepHandoffTables]();
    // Without this record the run does not count: the next signal starts over.
    if (EFI_ERROR(MeasureAction(kCallingBootOption, kPcrBootAction)))
      return;
    MeasurementStepTable[kStepBootVariables]();
    MeasurementStepTable[kStepSecureBootVariables]();
    MeasurementStepTable[kStepSeparators]();

    if (TpmVendorId() == kTpmVendorNeedsSelfTest)
      TpmSendCommand(Tcg, TPM_ORD_ContinueSelfTest, 0, nullptr);

    TpmVolatileFlagsRecord Flags;
    TpmReadVolatileFlags(Tcg, &Flags);
    if (Flags.PhysicalPresenceLock == 0)
      TpmSendCommand(Tcg, TSC_ORD_PhysicalPresence, sizeof(kPhysicalPresenceLock),
                     kPhysicalPresenceLock);
  } else if (EFI_ERROR(MeasureAction(kReturningFromBootOption, kPcrBootAction))) {
    return;
  }
  ++gReadyToBootCount;
}

EFI_STATUS EFIAPI ReadyToBootHook() {
  MeasureOverrideProtocol *Override = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gReadyToBootMeasureOverrideProtocolGuid, nullptr,
                                          reinterpret_cast<VOID **>(&Override));
  if (!EFI_ERROR(Status))
    return Override->Measure();
  if (gTpmFlagsCache.Deactivated != 0)
    return Status;
  Status =
      CreateReadyToBootEvent(kReadyToBootTpl, ReadyToBootCallback, nullptr, &gReadyToBootEvent);
  // Firmware that accepts only the named levels for notifications refuses
  // TPL 7; without this retry such a platform would boot with no ready-to-boot
  // measurements at all and no separators closing PCRs 0 to 7.
  if (Status == EFI_INVALID_PARAMETER)
    Status = CreateReadyToBootEvent(TPL_CALLBACK, ReadyToBootCallback, nullptr, &gReadyToBootEvent);
  return Status;
}

} // namespace TpmPlatform
