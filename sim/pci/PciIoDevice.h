// A PCI function as the PCI bus driver presents it: EFI_PCI_IO_PROTOCOL with
// its location and the option ROM image it found (RomImage/RomSize).
#pragma once
#include "Protocol/PciIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::pci {

struct PciFunctionConfig {
  std::string Name;
  uint8_t Bus = 0, Device = 0, Function = 0;
  std::vector<uint8_t> Rom;       // what the bus driver offers in RomImage
  std::vector<uint8_t> LegacyRom; // what the Legacy BIOS CheckPciRom reports
  uint64_t LegacyFlags = 0;       // CheckPciRom flags for this device
  bool BeforeHook = false;        // enumerated before the TCG core calls the hooks
  bool LocationFails = false;     // GetLocation answers EFI_DEVICE_ERROR
};

class PciIoDevice {
public:
  explicit PciIoDevice(PciFunctionConfig config);
  PciIoDevice(const PciIoDevice &) = delete;
  PciIoDevice &operator=(const PciIoDevice &) = delete;

  EFI_PCI_IO_PROTOCOL *Protocol() { return &protocol_; }
  const PciFunctionConfig &Config() const { return config_; }
  uint16_t Pfa() const {
    return static_cast<uint16_t>(config_.Bus << 8 | config_.Device << 3 | config_.Function);
  }

private:
  static EFI_STATUS EFIAPI GetLocation(EFI_PCI_IO_PROTOCOL *This, UINTN *Segment, UINTN *Bus,
                                       UINTN *Device, UINTN *Function);

  EFI_PCI_IO_PROTOCOL protocol_; // must stay first
  PciFunctionConfig config_;
};

// A standard option ROM image: 55 AA, size in 512-byte units, a PCIR data
// structure for the vendor/device, the payload, and a checksum byte making
// the image sum to zero.
std::vector<uint8_t> MakeOptionRom(uint16_t vendor, uint16_t device, uint8_t codeType, size_t size,
                                   uint8_t fill);

} // namespace sim::pci
