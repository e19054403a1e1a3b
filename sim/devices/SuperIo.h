// Super-I/O configuration space behind index port 0x2E and data port 0x2F.
// Registers 0x00 to 0x2F are global; 0x30 and above belong to the logical
// device selected by register 0x07. In logical device 7, register 0xF0 selects
// a pin and 0xF1/0xF2 are that pin's two configuration registers.
#pragma once
#include "sim/io/IoSpace.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace sim {

class SuperIo {
public:
  static constexpr uint16_t kIndexPort = 0x2E;
  static constexpr uint16_t kDataPort = 0x2F;
  static constexpr uint8_t kLogicalDeviceSelect = 0x07;
  static constexpr uint8_t kPinDevice = 7;
  static constexpr uint8_t kPinSelect = 0xF0;

  SuperIo() { Reset(); }

  void Attach(IoSpace &io);
  // Power-on values (also what S3 leaves behind).
  void Reset();

  uint8_t Index() const { return index_; }
  uint8_t Global(uint8_t reg) const { return global_[reg & 0x3F]; }
  uint8_t Device(uint8_t ldn, uint8_t reg) const;
  // Pin configuration register 0xF1 or 0xF2 of a pin.
  uint8_t Pin(uint8_t pin, uint8_t reg) const;
  uint8_t SelectedDevice() const { return global_[kLogicalDeviceSelect]; }

  // Every register by name ("g25", "ldn7.30", "pin57.F1"), for comparisons.
  std::map<std::string, uint8_t> Snapshot() const;

private:
  uint8_t Read(uint8_t reg) const;
  void Write(uint8_t reg, uint8_t value);

  uint8_t index_ = 0;
  std::array<uint8_t, 0x30> global_{};
  std::map<uint8_t, std::array<uint8_t, 0x100>> devices_;
  std::map<uint8_t, std::array<uint8_t, 2>> pins_;
};

} // namespace sim
