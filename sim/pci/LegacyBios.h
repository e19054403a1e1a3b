// EFI_LEGACY_BIOS_PROTOCOL of the board's compatibility module: CheckPciRom
// answers per PCI handle with the legacy ROM and flags the board file gives.
#pragma once
#include "Framework/LegacyBios.h"

#include <cstdint>
#include <map>
#include <vector>

namespace sim::pci {

class LegacyBios {
public:
  LegacyBios();
  LegacyBios(const LegacyBios &) = delete;
  LegacyBios &operator=(const LegacyBios &) = delete;

  EFI_LEGACY_BIOS_PROTOCOL *Protocol() { return &protocol_; }
  // The answer for one PCI handle; other handles get flags 0 and no image.
  void SetRom(EFI_HANDLE handle, const std::vector<uint8_t> *image, uint64_t flags);
  unsigned Calls() const { return calls_; }

private:
  static EFI_STATUS EFIAPI CheckPciRom(EFI_LEGACY_BIOS_PROTOCOL *This, EFI_HANDLE PciHandle,
                                       VOID **RomImage, UINTN *RomSize, UINTN *Flags);
  struct Answer {
    const std::vector<uint8_t> *Image;
    uint64_t Flags;
  };
  EFI_LEGACY_BIOS_PROTOCOL protocol_; // must stay first
  std::map<EFI_HANDLE, Answer> answers_;
  unsigned calls_ = 0;
};

} // namespace sim::pci
