// The SMRAM loader behind the Framework SMM base protocol's Register: copies
// the PE32 image into SMRAM, checks it there (the caller's copy may change),
// places and relocates it in SMRAM pages and runs its entry point in SMM. It
// exists only until the SMM ready-to-lock, which unregisters it.
#include "smm_compat/core/PeLoader.h"
#include "smm_compat/smm/SmmState.h"
#include "support/Strings.h"

namespace SmmCompat {
namespace {

constexpr UINTN kPageSize = 4096;

typedef EFI_STATUS(EFIAPI *IMAGE_ENTRY)(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable);

EFI_STATUS LoadAndStart(const LoaderRequest &Request, EFI_HANDLE *ImageHandle) {
  EFI_SMM_SYSTEM_TABLE2 *Smst = gSmm.Smst2;
  CompatRecord *Record = gSmm.Record;
  if (gSmm.LoaderHandle == nullptr)
    return EFI_ACCESS_DENIED;
  if (Request.ImageAddress == 0 || Request.ImageSize == 0 || Request.ImageSize > kMaxImageSize)
    return EFI_LOAD_ERROR;
  // The image is read from outside SMRAM only: SMRAM's own bytes are not a source.
  if (!BufferOutsideSmram(gSmm.Smram, gSmm.SmramCount, Request.ImageAddress, Request.ImageSize))
    return EFI_ACCESS_DENIED;
  if (Record->ImagesLoaded >= kMaxLoadedImages)
    return EFI_OUT_OF_RESOURCES;

  UINTN Size = UINTN(Request.ImageSize);
  VOID *Copy = nullptr;
  EFI_STATUS Status = Smst->SmmAllocatePool(EfiRuntimeServicesData, Size, &Copy);
  if (EFI_ERROR(Status))
    return Status;
  CopyBytes(Copy, reinterpret_cast<const VOID *>(UINTN(Request.ImageAddress)), Size);
  const auto *File = static_cast<const UINT8 *>(Copy);

  PeImageInfo Info = {};
  EFI_PHYSICAL_ADDRESS Base = 0;
  UINTN Pages = 0;
  Status = PeImageCheck(File, Size, &Info);
  if (!EFI_ERROR(Status)) {
    Pages = (Info.SizeOfImage + kPageSize - 1) / kPageSize;
    Status = Smst->SmmAllocatePages(AllocateAnyPages, EfiRuntimeServicesCode, Pages, &Base);
  }
  if (!EFI_ERROR(Status)) {
    Status = PeImageLoad(File, Size, Info, reinterpret_cast<UINT8 *>(UINTN(Base)), Base);
    if (EFI_ERROR(Status))
      Smst->SmmFreePages(Base, Pages);
  }
  Smst->SmmFreePool(Copy);
  if (EFI_ERROR(Status))
    return Status;

  // The loaded image's handle in the SMM handle database.
  EFI_LOADED_IMAGE_PROTOCOL *Loaded = nullptr;
  Status = Smst->SmmAllocatePool(EfiRuntimeServicesData, sizeof(*Loaded),
                                 reinterpret_cast<VOID **>(&Loaded));
  if (EFI_ERROR(Status))
    return Status;
  FillBytes(Loaded, sizeof(*Loaded), 0);
  Loaded->Revision = EFI_LOADED_IMAGE_PROTOCOL_REVISION;
  Loaded->ParentHandle = gSmm.ImageHandle;
  Loaded->SystemTable = gSmm.SystemTable;
  Loaded->ImageBase = reinterpret_cast<VOID *>(UINTN(Base));
  Loaded->ImageSize = Info.SizeOfImage;
  Loaded->ImageCodeType = EfiRuntimeServicesCode;
  Loaded->ImageDataType = EfiRuntimeServicesData;
  EFI_HANDLE Handle = nullptr;
  Status = Smst->SmmInstallProtocolInterface(&Handle, &gEfiLoadedImageProtocolGuid,
                                             EFI_NATIVE_INTERFACE, Loaded);
  if (EFI_ERROR(Status))
    return Status;

  LoadedImageRecord &Image = Record->Images[Record->ImagesLoaded++];
  Image.Base = Base;
  Image.Size = Info.SizeOfImage;
  Image.Entry = Base + Info.EntryPoint;
  CopyBytes(Image.Head, reinterpret_cast<const VOID *>(UINTN(Base)), kImageHeadBytes);
  BOOLEAN InSmm = FALSE;
  gSmm.SmmBase2->InSmm(gSmm.SmmBase2, &InSmm);
  Image.InSmmAtEntry = InSmm;
  // What the entry point returns is the image's business: it stays loaded with
  // whatever it registered, as on a Framework SMM core.
  auto Entry = reinterpret_cast<IMAGE_ENTRY>(UINTN(Image.Entry));
  Image.EntryStatus = Entry(Handle, gSmm.SystemTable);
  *ImageHandle = Handle;
  return Image.EntryStatus;
}

} // namespace

EFI_STATUS EFIAPI LoaderSmiHandler(EFI_HANDLE, const VOID *, VOID *CommBuffer,
                                   UINTN *CommBufferSize) {
  if (CommBuffer == nullptr || CommBufferSize == nullptr || *CommBufferSize < sizeof(LoaderRequest))
    return EFI_SUCCESS;
  LoaderRequest Request;
  CopyBytes(&Request, CommBuffer, sizeof(Request));
  EFI_HANDLE Handle = nullptr;
  EFI_STATUS Status = LoadAndStart(Request, &Handle);
  if (Handle == nullptr)
    ++gSmm.Record->LoadsRefused;
  Request.Status = Status;
  Request.ImageHandle = reinterpret_cast<UINTN>(Handle);
  CopyBytes(CommBuffer, &Request, sizeof(Request));
  return EFI_SUCCESS;
}

} // namespace SmmCompat
