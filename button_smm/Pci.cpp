// PCI configuration: registers below 0x100 through the 0xCF8/0xCFC mechanism,
// the extended space through the memory-mapped window.
#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {
namespace {

constexpr UINT16 kExtendedConfigStart = 0x100;

UINT32 ConfigAddress(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register) {
  return 0x80000000u | UINT32(Bus) << 16 | UINT32(Device) << 11 | UINT32(Function) << 8 |
         (Register & 0xFC);
}

UINT64 ExpressAddress(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register) {
  return kPciExpressBase + (UINT64(Bus) << 20) + (UINT64(Device) << 15) + (UINT64(Function) << 12) +
         Register;
}

} // namespace

UINT32 PciRead32(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register) {
  if (Register >= kExtendedConfigStart)
    return MmioRead32(ExpressAddress(Bus, Device, Function, Register));
  PortWrite32(kPciConfigAddressPort, ConfigAddress(Bus, Device, Function, Register));
  return PortRead32(kPciConfigDataPort);
}

UINT32 PciWrite32(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register, UINT32 Value) {
  if (Register >= kExtendedConfigStart) {
    UINT64 Address = ExpressAddress(Bus, Device, Function, Register);
    MmioWrite32(Address, Value);
    return MmioRead32(Address);
  }
  PortWrite32(kPciConfigAddressPort, ConfigAddress(Bus, Device, Function, Register));
  PortWrite32(kPciConfigDataPort, Value);
  return Value;
}

VOID PciReadWriteRecorded(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register, UINT32 OrValue,
                          UINT32 AndMask) {
  UINT32 Value = (PciRead32(Bus, Device, Function, Register) & AndMask) | OrValue;
  PciWrite32(Bus, Device, Function, Register, Value);
  RecordPciReadWrite(gSetupBootScript, EfiBootScriptWidthUint32,
                     BootScriptPciAddress(Bus, Device, Function, Register), &OrValue, &AndMask);
}

} // namespace ButtonSmm
