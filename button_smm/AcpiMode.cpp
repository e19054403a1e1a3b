// ACPI mode and the OS notification: while the OS owns SCI, events that it
// should see are signalled through port 0xA46.
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {

BOOLEAN IsAcpiMode() {
  return (PortRead16(kPm1ControlPort) & 0x0001) != 0 ? TRUE : FALSE;
}

VOID RaiseSci() {
  if (!IsAcpiMode())
    return;
  PortWrite8(kNotifyPort, PortRead8(kNotifyPort) | 0x01);
}

} // namespace ButtonSmm
