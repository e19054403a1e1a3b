// OptionRomHook (hook slot 1): from the moment it runs, the option ROM of every
// PCI device whose PCI I/O protocol gets installed is measured into PCR 2.
#include "Framework/LegacyBios.h"
#include "Platform/MeasureOverrideProtocols.h"
#include "Protocol/PciIo.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/Hooks.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {

namespace {
constexpr UINT8 kRomSignature0 = 0x55;
constexpr UINT8 kRomSignature1 = 0xAA;

VOID MeasureDeviceRom(EFI_HANDLE Handle) {
  EFI_PCI_IO_PROTOCOL *PciIo = nullptr;
  if (EFI_ERROR(
          gBS->HandleProtocol(Handle, &gEfiPciIoProtocolGuid, reinterpret_cast<VOID **>(&PciIo))))
    return;

  if (PciIo->RomSize != 0 && PciIo->RomImage != nullptr) {
    const auto *Image = static_cast<const UINT8 *>(PciIo->RomImage);
    if (PciIo->RomSize >= 2 && Image[0] == kRomSignature0 && Image[1] == kRomSignature1)
      MeasureOptionRom(Image, PciIo->RomSize, static_cast<UINT16>(GetPciFunctionAddress(PciIo)));
    return; // an image without the ROM signature is not an option ROM
  }

  VOID *Image = nullptr;
  UINTN Size = 0;
  UINTN Flags = LEGACY_PCI_ROM_NONE;
  CheckLegacyPciRom(Handle, &Image, &Size, &Flags);
  if (Flags == LEGACY_PCI_ROM_VALID)
    MeasureOptionRom(Image, Size, static_cast<UINT16>(GetPciFunctionAddress(PciIo)));
}
} // namespace

UINT64 GetPciFunctionAddress(EFI_PCI_IO_PROTOCOL *PciIo) {
  UINTN Segment, Bus, Device, Function;
  if (EFI_ERROR(PciIo->GetLocation(PciIo, &Segment, &Bus, &Device, &Function)))
    return 0;
  return ((Bus << 5 | Device) << 3) | Function;
}

EFI_STATUS CheckLegacyPciRom(EFI_HANDLE PciHandle, VOID **RomImage, UINTN *RomSize, UINTN *Flags) {
  EFI_LEGACY_BIOS_PROTOCOL *LegacyBios = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gEfiLegacyBiosProtocolGuid, nullptr,
                                          reinterpret_cast<VOID **>(&LegacyBios));
  if (EFI_ERROR(Status))
    return Status;
  return LegacyBios->CheckPciRom(LegacyBios, PciHandle, RomImage, RomSize, Flags);
}

VOID EFIAPI OptionRomNotify(EFI_EVENT Event, VOID *Context) {
  (void)Event;
  VOID *SearchKey = *static_cast<VOID **>(Context);
  for (;;) {
    UINTN Count = 0;
    EFI_HANDLE *Handles = nullptr;
    if (EFI_ERROR(
            gBS->LocateHandleBuffer(ByRegisterNotify, nullptr, SearchKey, &Count, &Handles)) ||
        Handles == nullptr)
      return;
    if (Count == 0) {
      gBS->FreePool(Handles);
      return;
    }
    for (UINTN Index = 0; Index < Count; ++Index)
      MeasureDeviceRom(Handles[Index]);
    gBS->FreePool(Handles);
  }
}

EFI_STATUS EFIAPI OptionRomHook() {
  MeasureOverrideProtocol *Override = nullptr;
  EFI_STATUS Status = gBS->LocateProtocol(&gOptionRomMeasureOverrideProtocolGuid, nullptr,
                                          reinterpret_cast<VOID **>(&Override));
  if (!EFI_ERROR(Status))
    return Override->Measure();
  if (gTpmFlagsCache.Deactivated != 0)
    return Status;

  // Devices whose PCI I/O is already installed are not measured: the event is
  // only signalled by later installations.
  EFI_EVENT Event = nullptr;
  gBS->CreateEvent(EVT_NOTIFY_SIGNAL, TPL_CALLBACK, OptionRomNotify, &gOptionRomRegistration,
                   &Event);
  gBS->RegisterProtocolNotify(&gEfiPciIoProtocolGuid, Event, &gOptionRomRegistration);
  return EFI_SUCCESS;
}

} // namespace TpmPlatform
