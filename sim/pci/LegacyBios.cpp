#include "sim/pci/LegacyBios.h"

#include <cstddef>

namespace sim::pci {

LegacyBios::LegacyBios() : protocol_{} {
  static_assert(offsetof(LegacyBios, protocol_) == 0);
  protocol_.CheckPciRom = CheckPciRom;
}

void LegacyBios::SetRom(EFI_HANDLE handle, const std::vector<uint8_t> *image, uint64_t flags) {
  answers_[handle] = {image, flags};
}

EFI_STATUS EFIAPI LegacyBios::CheckPciRom(EFI_LEGACY_BIOS_PROTOCOL *This, EFI_HANDLE PciHandle,
                                          VOID **RomImage, UINTN *RomSize, UINTN *Flags) {
  auto &self = *reinterpret_cast<LegacyBios *>(This);
  ++self.calls_;
  auto it = self.answers_.find(PciHandle);
  if (it == self.answers_.end() || it->second.Image == nullptr || it->second.Image->empty()) {
    if (Flags)
      *Flags = LEGACY_PCI_ROM_NONE;
    return EFI_UNSUPPORTED;
  }
  if (RomImage)
    *RomImage = const_cast<uint8_t *>(it->second.Image->data());
  if (RomSize)
    *RomSize = it->second.Image->size();
  if (Flags)
    *Flags = it->second.Flags;
  return EFI_SUCCESS;
}

} // namespace sim::pci
