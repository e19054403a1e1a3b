// Super-I/O configuration registers through the index/data pair. The OS may be
// in the middle of its own index/data sequence, so the index is put back.
#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {
namespace {

constexpr UINT8 kLogicalDeviceSelect = 0x07;
constexpr UINT8 kPinLogicalDevice = 0x07;
constexpr UINT8 kActivate = 0x30;
constexpr UINT8 kPinSelect = 0xF0;

} // namespace

UINT8 SioRead(UINT8 Index) {
  UINT8 Saved = PortRead8(kSioIndexPort);
  PortWrite8(kSioIndexPort, Index);
  UINT8 Value = PortRead8(kSioDataPort);
  PortWrite8(kSioIndexPort, Saved);
  return Value;
}

VOID SioWriteMasked(UINT8 Index, UINT8 AndMask, UINT8 OrValue) {
  UINT8 Saved = PortRead8(kSioIndexPort);
  PortWrite8(kSioIndexPort, Index);
  RecordIoWrite(gEntryBootScript, EfiBootScriptWidthUint8, kSioIndexPort, &Index);
  PortWrite8(kSioDataPort, UINT8((PortRead8(kSioDataPort) & AndMask) | OrValue));
  RecordIoReadWrite(gEntryBootScript, EfiBootScriptWidthUint8, kSioDataPort, &OrValue, &AndMask);
  PortWrite8(kSioIndexPort, Saved);
}

VOID SioPinConfig(UINT8 Pin, UINT8 Register, UINT8 Value) {
  SioWriteMasked(kLogicalDeviceSelect, 0, kPinLogicalDevice);
  SioWriteMasked(kActivate, 0, 0x01);
  SioWriteMasked(kPinSelect, 0, Pin);
  SioWriteMasked(Register, 0, Value);
}

} // namespace ButtonSmm
