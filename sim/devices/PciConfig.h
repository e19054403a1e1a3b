// PCI configuration space: the 0xCF8/0xCFC mechanism for offsets below 0x100
// and the memory-mapped window at 0xF8000000 for the whole 4 KiB of every
// function. Absent functions read all ones. The board has the LPC bridge at
// 0:31.0, whose register 0xB8 routes each GPI (two bits per GPI: 01 = SMI,
// 10 = SCI), and the SMBus controller at 0:31.3.
#pragma once
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>

namespace sim {

class PciConfig {
public:
  static constexpr uint16_t kAddressPort = 0xCF8;
  static constexpr uint16_t kDataPort = 0xCFC;
  static constexpr uint64_t kExpressBase = 0xF8000000;
  static constexpr uint64_t kExpressSize = 0x4000000; // buses 0 to 63
  static constexpr uint16_t kGpiRoute = 0xB8;

  struct Function {
    std::array<uint8_t, 4096> Bytes{};
    uint32_t Read32(uint16_t reg) const;
    void Write32(uint16_t reg, uint32_t value);
  };

  PciConfig() { Reset(); }

  void Attach(IoSpace &io, MemoryMap &memory);
  // Power-on values of every function (also what S3 leaves behind).
  void Reset();
  void SetLpcGpiRouteDefault(uint32_t value) { gpiRouteDefault_ = value; }

  Function *Find(uint8_t bus, uint8_t device, uint8_t function);
  uint32_t Read32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) const;
  void Write32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint32_t value);
  uint32_t LpcGpiRoute() const { return Read32(0, 31, 0, kGpiRoute); }
  uint32_t AddressLatch() const { return address_; }

private:
  uint64_t ReadData(uint16_t port, uint8_t width) const;
  void WriteData(uint16_t port, uint8_t width, uint32_t value);

  std::map<std::tuple<uint8_t, uint8_t, uint8_t>, std::unique_ptr<Function>> functions_;
  uint32_t address_ = 0;
  uint32_t gpiRouteDefault_ = 0x00001000; // GPI 6 to SMI
};

} // namespace sim
