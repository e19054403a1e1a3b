#include "sim/pci/PciIoDevice.h"

#include <cstddef>
#include <cstring>

namespace sim::pci {
namespace {
EFI_STATUS EFIAPI Unsupported() {
  return EFI_UNSUPPORTED;
}
template <class F> F Stub() {
  return reinterpret_cast<F>(Unsupported);
}
} // namespace

PciIoDevice::PciIoDevice(PciFunctionConfig config) : protocol_{}, config_(std::move(config)) {
  static_assert(offsetof(PciIoDevice, protocol_) == 0);
  protocol_.PollMem = Stub<EFI_PCI_IO_PROTOCOL_POLL_IO_MEM>();
  protocol_.PollIo = Stub<EFI_PCI_IO_PROTOCOL_POLL_IO_MEM>();
  protocol_.Mem = {Stub<EFI_PCI_IO_PROTOCOL_IO_MEM>(), Stub<EFI_PCI_IO_PROTOCOL_IO_MEM>()};
  protocol_.Io = {Stub<EFI_PCI_IO_PROTOCOL_IO_MEM>(), Stub<EFI_PCI_IO_PROTOCOL_IO_MEM>()};
  protocol_.Pci = {Stub<EFI_PCI_IO_PROTOCOL_CONFIG>(), Stub<EFI_PCI_IO_PROTOCOL_CONFIG>()};
  protocol_.CopyMem = Stub<EFI_PCI_IO_PROTOCOL_COPY_MEM>();
  protocol_.Map = Stub<EFI_PCI_IO_PROTOCOL_MAP>();
  protocol_.Unmap = Stub<EFI_PCI_IO_PROTOCOL_UNMAP>();
  protocol_.AllocateBuffer = Stub<EFI_PCI_IO_PROTOCOL_ALLOCATE_BUFFER>();
  protocol_.FreeBuffer = Stub<EFI_PCI_IO_PROTOCOL_FREE_BUFFER>();
  protocol_.Flush = Stub<EFI_PCI_IO_PROTOCOL_FLUSH>();
  protocol_.GetLocation = GetLocation;
  protocol_.Attributes = Stub<EFI_PCI_IO_PROTOCOL_ATTRIBUTES>();
  protocol_.GetBarAttributes = Stub<EFI_PCI_IO_PROTOCOL_GET_BAR_ATTRIBUTES>();
  protocol_.SetBarAttributes = Stub<EFI_PCI_IO_PROTOCOL_SET_BAR_ATTRIBUTES>();
  protocol_.RomSize = config_.Rom.size();
  protocol_.RomImage = config_.Rom.empty() ? nullptr : config_.Rom.data();
}

EFI_STATUS EFIAPI PciIoDevice::GetLocation(EFI_PCI_IO_PROTOCOL *This, UINTN *Segment, UINTN *Bus,
                                           UINTN *Device, UINTN *Function) {
  auto &self = *reinterpret_cast<PciIoDevice *>(This);
  if (Segment == nullptr || Bus == nullptr || Device == nullptr || Function == nullptr)
    return EFI_INVALID_PARAMETER;
  if (self.config_.LocationFails)
    return EFI_DEVICE_ERROR;
  *Segment = 0;
  *Bus = self.config_.Bus;
  *Device = self.config_.Device;
  *Function = self.config_.Function;
  return EFI_SUCCESS;
}

std::vector<uint8_t> MakeOptionRom(uint16_t vendor, uint16_t device, uint8_t codeType, size_t size,
                                   uint8_t fill) {
  size = (size + 511) / 512 * 512;
  if (size < 512)
    size = 512;
  std::vector<uint8_t> rom(size, fill);
  rom[0] = 0x55;
  rom[1] = 0xAA;
  rom[2] = static_cast<uint8_t>(size / 512);
  std::memset(&rom[3], 0, 0x15);
  const uint16_t pcir = 0x1C;
  rom[0x18] = pcir & 0xFF;
  rom[0x19] = pcir >> 8;
  uint8_t *p = &rom[pcir];
  std::memcpy(p, "PCIR", 4);
  p[4] = vendor & 0xFF;
  p[5] = vendor >> 8;
  p[6] = device & 0xFF;
  p[7] = device >> 8;
  p[0x0A] = 0x18; // structure length
  p[0x0C] = 0x00;
  p[0x10] = static_cast<uint8_t>(size / 512);
  p[0x14] = codeType; // 0 legacy x86, 3 EFI
  p[0x15] = 0x80;     // last image
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < size; ++i)
    sum = static_cast<uint8_t>(sum + rom[i]);
  rom[size - 1] = static_cast<uint8_t>(0x100 - sum);
  return rom;
}

} // namespace sim::pci
