#include "sim/devices/PlatformPorts.h"
#include "sim/core/Text.h"

#include <cstdio>

namespace sim {

PlatformPorts::PlatformPorts(PciConfig &pci, Defaults defaults) : pci_(pci), defaults_(defaults) {
  ResetChipset();
  power1_ = defaults_.PowerControl1;
  output_ = defaults_.Output;
}

void PlatformPorts::ResetChipset() {
  pm1Control_ = defaults_.Pm1Control;
  gpiSmiEnable_ = defaults_.GpiSmiEnable;
  gpio_ = {
      {0x500, defaults_.GpioUse}, {0x504, defaults_.GpioDirection}, {0x52C, defaults_.GpioInvert}};
}

void PlatformPorts::Attach(IoSpace &io) {
  io.Claim(0x404, 2,
           {"pm1", [this](uint16_t, uint8_t) -> uint32_t { return pm1Control_; },
            [this](uint16_t, uint8_t, uint32_t value) { pm1Control_ = uint16_t(value); }});
  io.Claim(0x438, 2,
           {"gpi-smi", [this](uint16_t, uint8_t) -> uint32_t { return gpiSmiEnable_; },
            [this](uint16_t, uint8_t, uint32_t value) { gpiSmiEnable_ = uint16_t(value); }});
  for (uint16_t port : {0x500, 0x504, 0x52C})
    io.Claim(port, 4,
             {"gpio", [this, port](uint16_t, uint8_t) -> uint32_t { return gpio_[port]; },
              [this, port](uint16_t, uint8_t, uint32_t value) { gpio_[port] = value; }});
  io.Claim(
      0xA00, 2,
      {"power",
       [this](uint16_t port, uint8_t) -> uint32_t { return port == 0xA00 ? power0_ : power1_; },
       [this](uint16_t port, uint8_t, uint32_t value) {
         if (port == 0xA00) {
           power0_ = uint8_t(value);
           return;
         }
         power1_ = uint8_t(value);
         if (power0_ == 0x19 && (power1_ & 0x40) != 0)
           powerOff_ = true;
       }});
  io.Claim(0xA2E, 2,
           {"output",
            [this](uint16_t port, uint8_t) -> uint32_t { return port == 0xA2F ? output_ : 0xFF; },
            [this](uint16_t port, uint8_t, uint32_t value) {
              if (port == 0xA2E)
                output_ = uint8_t(value);
            }});
  io.Claim(0xA46, 1,
           {"notify", [this](uint16_t, uint8_t) -> uint32_t { return notify_; },
            [this](uint16_t, uint8_t, uint32_t value) {
              if (value & 1)
                ++sciCount_;
              notify_ = uint8_t(value & ~1u);
            }});
}

std::string PlatformPorts::RaiseGpi(unsigned gpi) {
  unsigned route = (pci_.LpcGpiRoute() >> (2 * gpi)) & 3;
  if (route == 1 && (gpiSmiEnable_ >> gpi & 1) != 0) {
    if (OnSmi)
      OnSmi(gpi);
    return "smi";
  }
  if (route == 2) {
    ++sciCount_;
    return "sci";
  }
  return "ignored";
}

std::map<std::string, uint64_t> PlatformPorts::Snapshot() const {
  std::map<std::string, uint64_t> registers = {{"port.0404", pm1Control_},
                                               {"port.0438", gpiSmiEnable_},
                                               {"port.0A00", power0_},
                                               {"port.0A01", power1_},
                                               {"port.0A2E", output_}};
  for (auto [port, value] : gpio_)
    registers[Printf("port.%04X", port)] = value;
  return registers;
}

} // namespace sim
