#include "sim/devices/SuperIo.h"
#include "sim/core/Text.h"

#include <cstdio>

namespace sim {

void SuperIo::Reset() {
  index_ = 0;
  global_.fill(0);
  global_[0x20] = 0x87; // chip ID
  global_[0x21] = 0x12;
  global_[0x23] = 0x02;
  global_[0x2A] = 0x10;
  devices_.clear();
  pins_.clear();
}

void SuperIo::Attach(IoSpace &io) {
  io.Claim(kIndexPort, 2,
           {"superio",
            [this](uint16_t port, uint8_t) -> uint32_t {
              return port == kIndexPort ? index_ : Read(index_);
            },
            [this](uint16_t port, uint8_t, uint32_t value) {
              if (port == kIndexPort)
                index_ = uint8_t(value);
              else
                Write(index_, uint8_t(value));
            }});
}

uint8_t SuperIo::Device(uint8_t ldn, uint8_t reg) const {
  auto it = devices_.find(ldn);
  return it == devices_.end() ? 0 : it->second[reg];
}

uint8_t SuperIo::Pin(uint8_t pin, uint8_t reg) const {
  auto it = pins_.find(pin);
  return it == pins_.end() || (reg != 0xF1 && reg != 0xF2) ? 0 : it->second[reg - 0xF1];
}

uint8_t SuperIo::Read(uint8_t reg) const {
  if (reg < 0x30)
    return global_[reg];
  uint8_t ldn = SelectedDevice();
  if (ldn == kPinDevice && (reg == 0xF1 || reg == 0xF2))
    return Pin(Device(ldn, kPinSelect), reg);
  return Device(ldn, reg);
}

void SuperIo::Write(uint8_t reg, uint8_t value) {
  if (reg < 0x30) {
    if (reg != 0x20 && reg != 0x21) // the chip ID is read-only
      global_[reg] = value;
    return;
  }
  uint8_t ldn = SelectedDevice();
  if (ldn == kPinDevice && (reg == 0xF1 || reg == 0xF2)) {
    pins_[Device(ldn, kPinSelect)][reg - 0xF1] = value;
    return;
  }
  devices_[ldn][reg] = value;
}

std::map<std::string, uint8_t> SuperIo::Snapshot() const {
  std::map<std::string, uint8_t> registers;
  for (unsigned reg = 0; reg < global_.size(); ++reg)
    registers[Printf("superio.%02X", reg)] = global_[reg];
  for (auto &[ldn, regs] : devices_)
    for (unsigned reg = 0x30; reg < 0x100; ++reg)
      if (regs[reg] != 0)
        registers[Printf("superio.ldn%u.%02X", ldn, reg)] = regs[reg];
  for (auto &[pin, regs] : pins_)
    for (unsigned i = 0; i < 2; ++i)
      registers[Printf("superio.pin%02X.F%u", pin, i + 1)] = regs[i];
  return registers;
}

} // namespace sim
