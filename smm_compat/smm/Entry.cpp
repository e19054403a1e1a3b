// The SMM part of the Framework-on-PI compatibility layer, a PI SMM driver:
// builds the Framework SMST, serves software SMIs by value from a root
// handler, keeps the loader for Register until the SMM ready-to-lock, and
// publishes the Framework dispatch and boot-script protocols where Framework
// SMM drivers look for them (the UEFI protocol database).
#include "Protocol/SmmAccess2.h"
#include "Protocol/SmmReadyToLock.h"
#include "smm_compat/core/BootScriptLog.h"
#include "smm_compat/core/Dispatch.h"
#include "smm_compat/smm/SmmState.h"
#include "support/Strings.h"

namespace SmmCompat {

constinit SmmState gSmm = kInitialSmmState;

namespace {

// After the lock nothing may be loaded into SMRAM any more.
EFI_STATUS EFIAPI OnSmmReadyToLock(const EFI_GUID *, VOID *, EFI_HANDLE) {
  if (gSmm.LoaderHandle != nullptr) {
    gSmm.Smst2->SmiHandlerUnRegister(gSmm.LoaderHandle);
    gSmm.LoaderHandle = nullptr;
  }
  gSmm.Record->LoaderOpen = 0;
  return EFI_SUCCESS;
}

EFI_STATUS NewRecord(EFI_BOOT_SERVICES *Bs) {
  VOID *Memory = nullptr;
  EFI_STATUS Status = Bs->AllocatePool(EfiRuntimeServicesData, sizeof(CompatRecord), &Memory);
  if (EFI_ERROR(Status))
    return Status;
  FillBytes(Memory, sizeof(CompatRecord), 0);
  gSmm.Record = static_cast<CompatRecord *>(Memory);
  gSmm.Record->Signature = kRecordSignature;
  gSmm.Record->Revision = kRecordRevision;
  gSmm.Record->Size = sizeof(CompatRecord);
  return EFI_SUCCESS;
}

// The loader checks its source buffers against these; without them it loads nothing.
VOID ReadSmramRanges(EFI_BOOT_SERVICES *Bs) {
  EFI_SMM_ACCESS2_PROTOCOL *Access = nullptr;
  if (EFI_ERROR(Bs->LocateProtocol(&gEfiSmmAccess2ProtocolGuid, nullptr,
                                   reinterpret_cast<VOID **>(&Access))))
    return;
  EFI_SMRAM_DESCRIPTOR Map[kMaxSmramRanges];
  UINTN Size = sizeof(Map);
  if (EFI_ERROR(Access->GetCapabilities(Access, &Size, Map)))
    return;
  gSmm.SmramCount = Size / sizeof(Map[0]);
  for (UINTN i = 0; i < gSmm.SmramCount; ++i)
    gSmm.Smram[i] = {Map[i].CpuStart, Map[i].PhysicalSize};
}

EFI_STATUS Publish(EFI_BOOT_SERVICES *Bs) {
  struct Entry {
    const EFI_GUID *Guid;
    VOID *Interface;
  };
  // The record goes last: the DXE part depends on it and finds the rest in place.
  const Entry Entries[] = {
      {&gEfiSmmSwDispatchProtocolGuid, SwDispatchProtocol()},
      {&gEfiSmmGpiDispatchProtocolGuid, GpiDispatchProtocol()},
      {&gEfiBootScriptSaveProtocolGuid, FrameworkBootScript()},
      {&gSmmCompatRecordGuid, gSmm.Record},
  };
  EFI_HANDLE Handle = nullptr;
  for (const Entry &E : Entries) {
    EFI_STATUS Status =
        Bs->InstallProtocolInterface(&Handle, E.Guid, EFI_NATIVE_INTERFACE, E.Interface);
    if (EFI_ERROR(Status))
      return Status;
  }
  return EFI_SUCCESS;
}

} // namespace

} // namespace SmmCompat

using namespace SmmCompat;

extern "C" EFI_STATUS EFIAPI SmmCompatSmmEntry(EFI_HANDLE ImageHandle,
                                               EFI_SYSTEM_TABLE *SystemTable) {
  EFI_BOOT_SERVICES *Bs = SystemTable->BootServices;
  gSmm.ImageHandle = ImageHandle;
  gSmm.SystemTable = SystemTable;
  EFI_STATUS Status = Bs->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr,
                                         reinterpret_cast<VOID **>(&gSmm.SmmBase2));
  if (EFI_ERROR(Status))
    return Status;
  BOOLEAN InSmm = FALSE;
  gSmm.SmmBase2->InSmm(gSmm.SmmBase2, &InSmm);
  if (!InSmm)
    return EFI_UNSUPPORTED;
  Status = gSmm.SmmBase2->GetSmstLocation(gSmm.SmmBase2, &gSmm.Smst2);
  if (EFI_ERROR(Status))
    return Status;
  ReadSmramRanges(Bs);
  Status = NewRecord(Bs);
  if (EFI_ERROR(Status))
    return Status;
  gSmm.Record->FrameworkSmst = reinterpret_cast<UINTN>(InitFrameworkSmst());
  InitDispatch(gSmm.Record);
  InitBootScriptLog(gSmm.Record);

  EFI_HANDLE RootHandle = nullptr;
  Status = gSmm.Smst2->SmiHandlerRegister(RootSmiHandler, nullptr, &RootHandle);
  if (EFI_ERROR(Status))
    return Status;
  Status =
      gSmm.Smst2->SmiHandlerRegister(LoaderSmiHandler, &gSmmCompatLoaderGuid, &gSmm.LoaderHandle);
  if (EFI_ERROR(Status))
    return Status;
  gSmm.Record->LoaderOpen = 1;
  VOID *Registration = nullptr;
  Status = gSmm.Smst2->SmmRegisterProtocolNotify(&gEfiSmmReadyToLockProtocolGuid, OnSmmReadyToLock,
                                                 &Registration);
  if (EFI_ERROR(Status)) {
    // Without the lock notification the loader must not stay open.
    OnSmmReadyToLock(nullptr, nullptr, nullptr);
    return Status;
  }
  return Publish(Bs);
}
