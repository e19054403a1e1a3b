// The DXE part of the Framework-on-PI compatibility layer: the Framework SMM
// base protocol for boot-service drivers that load themselves into SMRAM,
// and the platform protocols those drivers look up. Runs after the SMM part
// (its dependency expression names the SMM part's record).
#include "Protocol/SmmReadyToLock.h"
#include "smm_compat/dxe/DxeState.h"

namespace SmmCompat {

constinit DxeState gDxe = kInitialDxeState;

namespace {

VOID EFIAPI OnReadyToLock(EFI_EVENT, VOID *) {
  VOID *Interface = nullptr;
  if (!EFI_ERROR(gDxe.Bs->LocateProtocol(&gEfiDxeSmmReadyToLockProtocolGuid, nullptr, &Interface)))
    gDxe.Locked = TRUE;
}

template <typename T> EFI_STATUS Locate(const EFI_GUID &Guid, T **Interface) {
  return gDxe.Bs->LocateProtocol(&Guid, nullptr, reinterpret_cast<VOID **>(Interface));
}

} // namespace

} // namespace SmmCompat

using namespace SmmCompat;

extern "C" EFI_STATUS EFIAPI SmmCompatDxeEntry(EFI_HANDLE, EFI_SYSTEM_TABLE *SystemTable) {
  gDxe.Bs = SystemTable->BootServices;
  EFI_STATUS Status = Locate(gSmmCompatRecordGuid, &gDxe.Record);
  if (EFI_ERROR(Status))
    return Status;
  if (gDxe.Record->Signature != kRecordSignature || gDxe.Record->Revision != kRecordRevision)
    return EFI_INCOMPATIBLE_VERSION;
  Status = Locate(gEfiSmmBase2ProtocolGuid, &gDxe.SmmBase2);
  if (EFI_ERROR(Status))
    return Status;
  Status = Locate(gEfiSmmCommunicationProtocolGuid, &gDxe.Communication);
  if (EFI_ERROR(Status))
    return Status;

  EFI_EVENT Event = nullptr;
  Status = gDxe.Bs->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OnReadyToLock, nullptr, &Event);
  if (EFI_ERROR(Status))
    return Status;
  VOID *Registration = nullptr;
  Status =
      gDxe.Bs->RegisterProtocolNotify(&gEfiDxeSmmReadyToLockProtocolGuid, Event, &Registration);
  if (EFI_ERROR(Status))
    return Status;

  EFI_HANDLE Handle = nullptr;
  Status = InstallPlatformProtocols(&Handle);
  if (EFI_ERROR(Status))
    return Status;
  return InstallSmmBase(&Handle);
}
