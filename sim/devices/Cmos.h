// CMOS RAM behind index port 0x70 and data port 0x71: 128 bytes that keep
// their contents across power cycles (the board stores them in its state
// directory). Bit 7 of the index is the NMI mask and does not select.
#pragma once
#include "sim/io/IoSpace.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sim {

class CmosRam {
public:
  static constexpr size_t kSize = 128;
  static constexpr uint16_t kIndexPort = 0x70;
  static constexpr uint16_t kDataPort = 0x71;

  void Attach(IoSpace &io);
  uint8_t Get(uint8_t reg) const { return bytes_[reg & 0x7F]; }
  void Set(uint8_t reg, uint8_t value) { bytes_[reg & 0x7F] = value; }
  const std::array<uint8_t, kSize> &Bytes() const { return bytes_; }

  std::vector<uint8_t> Serialize() const { return {bytes_.begin(), bytes_.end()}; }
  // Throws SimulationError naming `origin` unless exactly 128 bytes.
  void Load(const std::vector<uint8_t> &bytes, const std::string &origin);

private:
  std::array<uint8_t, kSize> bytes_{};
  uint8_t index_ = 0;
};

} // namespace sim
