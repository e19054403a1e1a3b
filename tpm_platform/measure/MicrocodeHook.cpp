// MicrocodeHook (hook slot 0): finds the CPU microcode file, first through the
// firmware-volume protocols (last volume first), then by scanning the flash
// volume directly, and measures it into PCR 1.
#include "Platform/MeasureOverrideProtocols.h"
#include "Protocol/FirmwareVolume2.h"
#include "support/Hw.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {

// Flash ends at 4 GiB: the most the volume at kMicrocodeFlashVolume can span.
constexpr UINT64 kFlashLimit = 0x100000000ULL - kMicrocodeFlashVolume;

enum class SearchResult { Measured, Failed, NotInVolume, SearchAborted };

// Looks for the microcode file in one volume. Measured or Failed end the hook
// with *Status; NotInVolume moves on to the next volume; SearchAborted goes
// straight to the flash scan.
SearchResult SearchVolume(EFI_HANDLE Handle, EFI_STATUS *Status) {
  EFI_FIRMWARE_VOLUME2_PROTOCOL *Fv = nullptr;
  if (EFI_ERROR(gBS->HandleProtocol(Handle, &gEfiFirmwareVolume2ProtocolGuid,
                                    reinterpret_cast<VOID **>(&Fv))))
    return SearchResult::SearchAborted;

  VOID *Key = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Fv->KeySize, &Key))) {
    *Status = EFI_OUT_OF_RESOURCES;
    return SearchResult::Failed;
  }
  gBS->SetMem(Key, Fv->KeySize, 0);

  for (;;) {
    EFI_FV_FILETYPE Type = EFI_FV_FILETYPE_RAW;
    EFI_GUID Name;
    EFI_FV_FILE_ATTRIBUTES Attributes = 0;
    UINTN Size = 0;
    if (EFI_ERROR(Fv->GetNextFile(Fv, Key, &Type, &Name, &Attributes, &Size))) {
      gBS->FreePool(Key);
      return SearchResult::NotInVolume;
    }
    if (CompareBytes(&Name, &gMicrocodeFileGuid, sizeof(Name)) != 0)
      continue;

    gBS->FreePool(Key);
    VOID *Buffer = nullptr;
    UINTN BufferSize = 0;
    UINT32 Authentication = 0;
    *Status = Fv->ReadFile(Fv, &gMicrocodeFileGuid, &Buffer, &BufferSize, &Type, &Attributes,
                           &Authentication);
    if (EFI_ERROR(*Status))
      return SearchResult::Failed;
    *Status = MeasureMicrocode(PointerToPhysical(Buffer), BufferSize);
    gBS->FreePool(Buffer);
    return SearchResult::Measured;
  }
}

} // namespace

EFI_STATUS EFIAPI MicrocodeHook() {
  MeasureOverrideProtocol *Override = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gMicrocodeMeasureOverrideProtocolGuid, nullptr,
                                          reinterpret_cast<VOID **>(&Override));
  if (!EFI_ERROR(Status))
    return Override->Measure();
  if (gTpmFlagsCache.Deactivated != 0)
    return Status;

  UINTN Count = 0;
  EFI_HANDLE *Handles = nullptr;
  if (EFI_ERROR(gBS->LocateHandleBuffer(ByProtocol, &gEfiFirmwareVolume2ProtocolGuid, nullptr,
                                        &Count, &Handles))) {
    Count = 0;
    Handles = nullptr;
  }

  for (UINTN Index = Count; Index-- > 0;) {
    SearchResult Result = SearchVolume(Handles[Index], &Status);
    if (Result == SearchResult::Measured || Result == SearchResult::Failed) {
      gBS->FreePool(Handles);
      return Status;
    }
    if (Result == SearchResult::SearchAborted)
      break;
  }
  if (Handles)
    gBS->FreePool(Handles);

  EFI_PHYSICAL_ADDRESS Data = 0;
  UINT64 DataSize = 0;
  Status = FindFlashFile(kMicrocodeFlashVolume, kFlashLimit, &gMicrocodeFileGuid, &Data, &DataSize);
  if (EFI_ERROR(Status))
    return Status;
  return MeasureMicrocode(Data, DataSize);
}

} // namespace TpmPlatform
