// The Framework SMM base protocol over PI SMM. Register resolves the device
// path of a firmware-volume file to its PE32 section and hands it to the SMM
// part's loader through the SMM communication protocol; InSmm and the SMST
// location come from SMM base 2 and the SMM part's record.
#include "Framework/SmmBase.h"
#include "Protocol/FirmwareVolume2.h"
#include "smm_compat/dxe/DxeState.h"
#include "support/Strings.h"

namespace SmmCompat {
namespace {

constexpr EFI_SECTION_TYPE kSectionPe32 = 0x10;

BOOLEAN InSmmNow() {
  BOOLEAN InSmm = FALSE;
  if (gDxe.SmmBase2 == nullptr || EFI_ERROR(gDxe.SmmBase2->InSmm(gDxe.SmmBase2, &InSmm)))
    return FALSE;
  return InSmm;
}

// The PE32 section of the firmware-volume file FilePath names (a volume's
// path followed by one file node). The buffer is the caller's to free.
EFI_STATUS ReadImageFromVolume(EFI_DEVICE_PATH_PROTOCOL *FilePath, VOID **Image, UINTN *Size) {
  EFI_DEVICE_PATH_PROTOCOL *Remaining = FilePath;
  EFI_HANDLE Volume = nullptr;
  EFI_STATUS Status =
      gDxe.Bs->LocateDevicePath(&gEfiFirmwareVolume2ProtocolGuid, &Remaining, &Volume);
  if (EFI_ERROR(Status))
    return Status;
  const auto *Node = reinterpret_cast<const MEDIA_FW_VOL_FILEPATH_DEVICE_PATH *>(Remaining);
  UINTN Length = Node->Header.Length[0] | (UINTN(Node->Header.Length[1]) << 8);
  if (Node->Header.Type != MEDIA_DEVICE_PATH || Node->Header.SubType != MEDIA_PIWG_FW_FILE_DP ||
      Length != sizeof(MEDIA_FW_VOL_FILEPATH_DEVICE_PATH))
    return EFI_NOT_FOUND;
  const auto *End = reinterpret_cast<const UINT8 *>(Node) + Length;
  if (End[0] != END_DEVICE_PATH_TYPE || End[1] != END_ENTIRE_DEVICE_PATH_SUBTYPE)
    return EFI_NOT_FOUND;
  EFI_FIRMWARE_VOLUME2_PROTOCOL *Fv = nullptr;
  Status = gDxe.Bs->HandleProtocol(Volume, &gEfiFirmwareVolume2ProtocolGuid,
                                   reinterpret_cast<VOID **>(&Fv));
  if (EFI_ERROR(Status))
    return Status;
  EFI_GUID Name = Node->FvFileName;
  UINT32 Authentication = 0;
  *Image = nullptr;
  *Size = 0;
  return Fv->ReadSection(Fv, &Name, kSectionPe32, 0, Image, Size, &Authentication);
}

EFI_STATUS Load(const VOID *Image, UINTN Size, EFI_HANDLE *ImageHandle) {
  struct Message {
    EFI_SMM_COMMUNICATE_HEADER Header;
    LoaderRequest Request;
  };
  Message *M = nullptr;
  EFI_STATUS Status =
      gDxe.Bs->AllocatePool(EfiBootServicesData, sizeof(Message), reinterpret_cast<VOID **>(&M));
  if (EFI_ERROR(Status))
    return Status;
  FillBytes(M, sizeof(*M), 0);
  M->Header.HeaderGuid = gSmmCompatLoaderGuid;
  M->Header.MessageLength = sizeof(LoaderRequest);
  M->Request.ImageAddress = reinterpret_cast<UINTN>(Image);
  M->Request.ImageSize = Size;
  // A loader that never answers leaves this status.
  M->Request.Status = EFI_NOT_FOUND;
  UINTN CommSize = sizeof(Message);
  Status = gDxe.Communication->Communicate(gDxe.Communication, M, &CommSize);
  if (!EFI_ERROR(Status))
    Status = M->Request.Status;
  *ImageHandle = reinterpret_cast<EFI_HANDLE>(UINTN(M->Request.ImageHandle));
  gDxe.Bs->FreePool(M);
  return Status;
}

EFI_STATUS EFIAPI Register(EFI_SMM_BASE_PROTOCOL *, EFI_DEVICE_PATH_PROTOCOL *FilePath,
                           VOID *SourceBuffer, UINTN SourceSize, EFI_HANDLE *ImageHandle,
                           BOOLEAN LegacyIA32Binary) {
  if (ImageHandle == nullptr || (FilePath == nullptr && SourceBuffer == nullptr))
    return EFI_INVALID_PARAMETER;
  if (LegacyIA32Binary)
    return EFI_UNSUPPORTED;
  // No loading path after the lock: third-party code runs from then on.
  if (gDxe.Locked)
    return EFI_ACCESS_DENIED;
  *ImageHandle = nullptr;
  if (SourceBuffer != nullptr)
    return Load(SourceBuffer, SourceSize, ImageHandle);
  VOID *Image = nullptr;
  UINTN Size = 0;
  EFI_STATUS Status = ReadImageFromVolume(FilePath, &Image, &Size);
  if (EFI_ERROR(Status))
    return Status;
  Status = Load(Image, Size, ImageHandle);
  gDxe.Bs->FreePool(Image);
  return Status;
}

EFI_STATUS EFIAPI UnRegister(EFI_SMM_BASE_PROTOCOL *, EFI_HANDLE) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI Communicate(EFI_SMM_BASE_PROTOCOL *, EFI_HANDLE, VOID *, UINTN *) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI RegisterCallback(EFI_SMM_BASE_PROTOCOL *, EFI_HANDLE,
                                   EFI_SMM_CALLBACK_ENTRY_POINT, BOOLEAN, BOOLEAN) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI InSmm(EFI_SMM_BASE_PROTOCOL *, BOOLEAN *Result) {
  if (Result == nullptr)
    return EFI_INVALID_PARAMETER;
  *Result = InSmmNow();
  return EFI_SUCCESS;
}

// SMRAM pool, for callers inside SMM only.
EFI_STATUS EFIAPI SmmAllocatePool(EFI_SMM_BASE_PROTOCOL *, EFI_MEMORY_TYPE Type, UINTN Size,
                                  VOID **Buffer) {
  EFI_SMM_SYSTEM_TABLE2 *Smst = nullptr;
  if (!InSmmNow() || EFI_ERROR(gDxe.SmmBase2->GetSmstLocation(gDxe.SmmBase2, &Smst)))
    return EFI_UNSUPPORTED;
  return Smst->SmmAllocatePool(Type, Size, Buffer);
}

EFI_STATUS EFIAPI SmmFreePool(EFI_SMM_BASE_PROTOCOL *, VOID *Buffer) {
  EFI_SMM_SYSTEM_TABLE2 *Smst = nullptr;
  if (!InSmmNow() || EFI_ERROR(gDxe.SmmBase2->GetSmstLocation(gDxe.SmmBase2, &Smst)))
    return EFI_UNSUPPORTED;
  return Smst->SmmFreePool(Buffer);
}

EFI_STATUS EFIAPI GetSmstLocation(EFI_SMM_BASE_PROTOCOL *, EFI_SMM_SYSTEM_TABLE **Smst) {
  if (Smst == nullptr)
    return EFI_INVALID_PARAMETER;
  // The table lives in SMRAM: it means nothing outside SMM.
  if (!InSmmNow())
    return EFI_UNSUPPORTED;
  *Smst = reinterpret_cast<EFI_SMM_SYSTEM_TABLE *>(UINTN(gDxe.Record->FrameworkSmst));
  return EFI_SUCCESS;
}

constinit EFI_SMM_BASE_PROTOCOL gSmmBase = {Register,         UnRegister,     Communicate,
                                            RegisterCallback, InSmm,          SmmAllocatePool,
                                            SmmFreePool,      GetSmstLocation};

} // namespace

EFI_STATUS InstallSmmBase(EFI_HANDLE *Handle) {
  return gDxe.Bs->InstallProtocolInterface(Handle, &gEfiSmmBaseProtocolGuid, EFI_NATIVE_INTERFACE,
                                           &gSmmBase);
}

} // namespace SmmCompat
