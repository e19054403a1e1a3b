// The hardware start-up of the SMRAM instance: EC button bits, Super-I/O pins,
// brightness, default button table and repeat timing. The Super-I/O and EC
// button writes are recorded for S3 resume.
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "button_smm/Routines.h"
#include "support/Hw.h"

namespace ButtonSmm {
namespace {

constexpr UINTN kButtons = 6;
constexpr UINT32 kCbStatusStarted = 0x100;
constexpr UINT32 kCbStatusKeyCodesToEc = 0x1000;

// The status word lies in OS memory at any alignment: touch it bytewise.
VOID SetCommandBufferStatus(UINT32 Bits) {
  auto *Status = static_cast<UINT8 *>(gSmmCommandBufferAddress);
  if (Status == nullptr)
    return;
  UINT32 Value = UINT32(Status[0]) | UINT32(Status[1]) << 8 | UINT32(Status[2]) << 16 |
                 UINT32(Status[3]) << 24;
  Value |= Bits;
  for (UINTN Byte = 0; Byte < 4; ++Byte)
    Status[Byte] = UINT8(Value >> (8 * Byte));
}

} // namespace

VOID InitButtonHardware() {
  SetCommandBufferStatus(kCbStatusStarted);
  SetCommandBufferStatus(kCbStatusKeyCodesToEc);

  SioWriteMasked(0x25, 0, SioRead(0x25) | 0x20);
  SioWriteMasked(0x2A, 0, SioRead(0x2A) & 0xEF);
  SioWriteMasked(0x28, 0, SioRead(0x28) | 0x01);

  // Re-programs the EC level from its own value and sets the driver's percent.
  SetBrightnessPercent(GetBrightnessPercent());

  for (UINTN Button = 0; Button < kButtons; ++Button)
    ApplyButtonEcBits(Button, TRUE);

  SioWriteMasked(0x23, 0, SioRead(0x23) & 0xFD);
  SioPinConfig(0x57, 0xF2, 0x00);
  SioPinConfig(0x57, 0xF1, 0x03);
  SetMicMuteIndicator(FALSE);
  SioPinConfig(0x51, 0xF2, 0x00);
  SioPinConfig(0x51, 0xF1, 0x03);
  SetOutputBit1(TRUE);

  for (UINTN Button = 0; Button < kButtons; ++Button)
    RestoreDefaults(Button);

  SetRepeatDelay(2);
  SetRepeatRate(1);
  EcWrite(kEcRepeatTiming, 0x14);

  PortWrite8(kPowerControlPort1, PortRead8(kPowerControlPort1) | 0x08);
}

} // namespace ButtonSmm
