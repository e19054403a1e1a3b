// Two bits of the output register: it is written at 0xA2E and its current
// value read back at 0xA2F. Bit 7 is the microphone-mute indicator, lit low.
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {

constexpr UINT8 kOutputBit1 = 0x02;
constexpr UINT8 kMicMuteIndicatorOff = 0x80;

VOID SetOutputBit1(BOOLEAN On) {
  UINT8 Value = PortRead8(kOutputSourcePort);
  Value = On ? UINT8(Value | kOutputBit1) : UINT8(Value & ~kOutputBit1);
  PortWrite8(kOutputPort, Value);
}

VOID SetMicMuteIndicator(BOOLEAN On) {
  UINT8 Value = PortRead8(kOutputSourcePort);
  Value = On ? UINT8(Value & ~kMicMuteIndicatorOff) : UINT8(Value | kMicMuteIndicatorOff);
  PortWrite8(kOutputPort, Value);
}

} // namespace ButtonSmm
