// Chipset port writes of the GPI 1 set-up, recorded for S3 resume.
#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "support/Hw.h"

namespace ButtonSmm {

VOID IoWrite16Recorded(UINT16 Port, UINT16 Value) {
  PortWrite16(Port, Value);
  RecordIoWrite(gSetupBootScript, EfiBootScriptWidthUint16, Port, &Value);
}

VOID IoWrite32Recorded(UINT16 Port, UINT32 Value) {
  PortWrite32(Port, Value);
  RecordIoWrite(gSetupBootScript, EfiBootScriptWidthUint32, Port, &Value);
}

} // namespace ButtonSmm
