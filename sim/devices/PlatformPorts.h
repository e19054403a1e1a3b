// The chipset and EC-side ports around the buttons:
//   0x404 PM1 control (16 bit; bit 0 = ACPI mode, the OS owns SCI)
//   0x438 GPI SMI enable (16 bit; bit n enables the SMI of GPI n)
//   0x500, 0x504, 0x52C GPIO use, direction and inversion (32 bit)
//   0xA00, 0xA01 power control: 0x19 at 0xA00 and bit 6 of 0xA01 switch the machine off
//   0xA2E / 0xA2F output register: written at 0xA2E, its value read at 0xA2F
//   0xA46 notification: writing bit 0 raises an SCI (the bit clears itself)
// A GPI reaches SMM when its SMI enable bit is set and the LPC bridge routes it
// to SMI; routed to SCI it only counts as an SCI.
#pragma once
#include "sim/devices/PciConfig.h"
#include "sim/io/IoSpace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace sim {

class PlatformPorts {
public:
  struct Defaults {
    uint16_t Pm1Control = 0x0001; // the OS runs in ACPI mode
    uint16_t GpiSmiEnable = 0x0040;
    uint32_t GpioUse = 0x00000040;
    uint32_t GpioDirection = 0x00000040;
    uint32_t GpioInvert = 0x00000000;
    uint8_t PowerControl1 = 0x00;
    uint8_t Output = 0x00;
  };

  PlatformPorts(PciConfig &pci, Defaults defaults);

  void Attach(IoSpace &io);
  // Power-on values of the chipset registers (S3 loses them; the EC-side
  // ports at 0xA00 and above stay powered).
  void ResetChipset();

  bool AcpiMode() const { return (pm1Control_ & 1) != 0; }
  void SetAcpiMode(bool on) { pm1Control_ = uint16_t((pm1Control_ & ~1u) | (on ? 1 : 0)); }
  uint16_t GpiSmiEnable() const { return gpiSmiEnable_; }
  uint8_t Output() const { return output_; }
  uint8_t PowerControl0() const { return power0_; }
  uint8_t PowerControl1() const { return power1_; }
  bool PowerOffRequested() const { return powerOff_; }
  unsigned SciCount() const { return sciCount_; }

  // Raises GPI n: calls OnSmi when it is routed to SMI and enabled.
  // Returns what happened: "smi", "sci" or "ignored".
  std::string RaiseGpi(unsigned gpi);
  std::function<void(unsigned gpi)> OnSmi;

  std::map<std::string, uint64_t> Snapshot() const;

private:
  PciConfig &pci_;
  Defaults defaults_;
  uint16_t pm1Control_ = 0;
  uint16_t gpiSmiEnable_ = 0;
  std::map<uint16_t, uint32_t> gpio_;
  uint8_t power0_ = 0;
  uint8_t power1_ = 0;
  uint8_t output_ = 0;
  uint8_t notify_ = 0;
  bool powerOff_ = false;
  unsigned sciCount_ = 0;
};

} // namespace sim
