// EC RAM through the indexed window: a page register selects bits 8 to 11 of
// the address, one port per byte of the page. The OS uses the same window, so
// every access ends by putting back the page it expects (from port 0xA03).
#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {
namespace {

UINT8 PageOf(UINT16 Address) {
  return UINT8((Address >> 8) & 0x0F);
}
UINT16 WindowPort(UINT16 Address) {
  return UINT16(kEcWindowBase + (Address & 0xFF));
}

VOID RestorePage() {
  PortWrite8(kEcPagePort, PortRead8(kEcPageRestorePort) & 0x0F);
}

} // namespace

UINT8 EcRead(UINT16 Address) {
  PortWrite8(kEcPagePort, PageOf(Address));
  // The EC answers 0xFF while it is busy with the byte: ask once more.
  UINT8 Value = PortRead8(WindowPort(Address));
  if (Value == 0xFF)
    Value = PortRead8(WindowPort(Address));
  RestorePage();
  return Value;
}

VOID EcWrite(UINT16 Address, UINT8 Value) {
  PortWrite8(kEcPagePort, PageOf(Address));
  PortWrite8(WindowPort(Address), Value);
  RestorePage();
}

VOID EcWriteRecorded(UINT16 Address, UINT8 Value) {
  UINT8 Page = PageOf(Address);
  PortWrite8(kEcPagePort, Page);
  RecordIoWrite(gEntryBootScript, EfiBootScriptWidthUint8, kEcPagePort, &Page);
  PortWrite8(WindowPort(Address), Value);
  RecordIoWrite(gEntryBootScript, EfiBootScriptWidthUint8, WindowPort(Address), &Value);
  RestorePage();
}

UINT8 ReadAndAckEcEvent() {
  UINT8 Event = EcRead(kEcEventRegister);
  EcWrite(kEcEventRegister, Event);
  return Event;
}

} // namespace ButtonSmm
