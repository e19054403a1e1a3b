#include "sim/devices/PciConfig.h"

namespace sim {

uint32_t PciConfig::Function::Read32(uint16_t reg) const {
  reg &= 0xFFC;
  return uint32_t(Bytes[reg]) | uint32_t(Bytes[reg + 1]) << 8 | uint32_t(Bytes[reg + 2]) << 16 |
         uint32_t(Bytes[reg + 3]) << 24;
}

void PciConfig::Function::Write32(uint16_t reg, uint32_t value) {
  reg &= 0xFFC;
  for (int i = 0; i < 4; ++i)
    Bytes[reg + i] = uint8_t(value >> (8 * i));
}

void PciConfig::Reset() {
  functions_.clear();
  address_ = 0;
  auto host = std::make_unique<Function>();
  host->Write32(0x00, 0x0100ABCD); // host bridge
  functions_[{0, 0, 0}] = std::move(host);
  auto lpc = std::make_unique<Function>();
  lpc->Write32(0x00, 0x0031ABCD); // LPC bridge
  lpc->Write32(0x08, 0x06010000);
  lpc->Write32(kGpiRoute, gpiRouteDefault_);
  functions_[{0, 31, 0}] = std::move(lpc);
  auto smbus = std::make_unique<Function>();
  smbus->Write32(0x00, 0x0033ABCD); // SMBus controller, a function other than 0
  smbus->Write32(0x08, 0x0C050000);
  functions_[{0, 31, 3}] = std::move(smbus);
}

PciConfig::Function *PciConfig::Find(uint8_t bus, uint8_t device, uint8_t function) {
  auto it = functions_.find({bus, device, function});
  return it == functions_.end() ? nullptr : it->second.get();
}

uint32_t PciConfig::Read32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) const {
  auto it = functions_.find({bus, device, function});
  return it == functions_.end() ? 0xFFFFFFFF : it->second->Read32(reg);
}

void PciConfig::Write32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                        uint32_t value) {
  if (Function *f = Find(bus, device, function); f && (reg & 0xFFC) >= 0x08)
    f->Write32(reg, value); // identification registers are read-only
}

uint64_t PciConfig::ReadData(uint16_t port, uint8_t width) const {
  if ((address_ & 0x80000000) == 0)
    return 0xFFFFFFFF;
  uint8_t bus = uint8_t(address_ >> 16), device = (address_ >> 11) & 0x1F,
          function = (address_ >> 8) & 7;
  uint32_t dword = Read32(bus, device, function, uint16_t(address_ & 0xFC));
  unsigned shift = 8 * (port - kDataPort);
  uint64_t mask = width == 4 ? 0xFFFFFFFFull : (1ull << (8 * width)) - 1;
  return (dword >> shift) & mask;
}

void PciConfig::WriteData(uint16_t port, uint8_t width, uint32_t value) {
  if ((address_ & 0x80000000) == 0)
    return;
  uint8_t bus = uint8_t(address_ >> 16), device = (address_ >> 11) & 0x1F,
          function = (address_ >> 8) & 7;
  uint16_t reg = uint16_t(address_ & 0xFC);
  uint32_t dword = Read32(bus, device, function, reg);
  unsigned shift = 8 * (port - kDataPort);
  uint32_t mask = width == 4 ? 0xFFFFFFFFu : ((1u << (8 * width)) - 1) << shift;
  dword = (dword & ~mask) | ((value << shift) & mask);
  Write32(bus, device, function, reg, dword);
}

void PciConfig::Attach(IoSpace &io, MemoryMap &memory) {
  io.Claim(kAddressPort, 4,
           {"pci", [this](uint16_t, uint8_t) -> uint32_t { return address_; },
            [this](uint16_t, uint8_t width, uint32_t value) {
              if (width == 4)
                address_ = value;
            }});
  io.Claim(
      kDataPort, 4,
      {"pci",
       [this](uint16_t port, uint8_t width) -> uint32_t { return uint32_t(ReadData(port, width)); },
       [this](uint16_t port, uint8_t width, uint32_t value) { WriteData(port, width, value); }});
  memory.AddMmio(kExpressBase, kExpressSize,
                 {"pci-express",
                  [this](uint64_t offset, uint8_t width) -> uint64_t {
                    uint8_t bus = uint8_t(offset >> 20), device = (offset >> 15) & 0x1F,
                            function = (offset >> 12) & 7;
                    uint16_t reg = offset & 0xFFF;
                    uint32_t dword = Read32(bus, device, function, reg);
                    unsigned shift = 8 * (reg & 3);
                    uint64_t mask = width >= 4 ? 0xFFFFFFFFull : (1ull << (8 * width)) - 1;
                    return (dword >> shift) & mask;
                  },
                  [this](uint64_t offset, uint8_t width, uint64_t value) {
                    uint8_t bus = uint8_t(offset >> 20), device = (offset >> 15) & 0x1F,
                            function = (offset >> 12) & 7;
                    uint16_t reg = offset & 0xFFF;
                    uint32_t dword = Read32(bus, device, function, reg);
                    unsigned shift = 8 * (reg & 3);
                    uint32_t mask = width >= 4 ? 0xFFFFFFFFu : ((1u << (8 * width)) - 1) << shift;
                    dword = (dword & ~mask) | ((uint32_t(value) << shift) & mask);
                    Write32(bus, device, function, reg, dword);
                  }});
}

} // namespace sim
