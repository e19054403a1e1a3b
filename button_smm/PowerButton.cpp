// GPI 1, the power button: routed to SMI at start-up; its handler switches the
// machine off and halts for good.
#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"
#include "button_smm/Hardware.h"
#include "button_smm/Ports.h"
#include "support/Hw.h"

namespace ButtonSmm {

constexpr UINT32 kGpi1Bit = 0x02;

VOID SetupGpi1Smi() {
  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *BootScript = nullptr;
  if (EFI_ERROR(gBS->LocateProtocol(&gEfiBootScriptSaveProtocolGuid, nullptr,
                                    reinterpret_cast<VOID **>(&BootScript))))
    BootScript = nullptr;
  gSetupBootScript = BootScript;

  IoWrite32Recorded(kGpioUseSelectPort, PortRead32(kGpioUseSelectPort) | kGpi1Bit);
  IoWrite32Recorded(kGpioIoSelectPort, PortRead32(kGpioIoSelectPort) | kGpi1Bit);
  IoWrite32Recorded(kGpioInvertPort, PortRead32(kGpioInvertPort) | kGpi1Bit);
  IoWrite16Recorded(kGpi1SmiEnablePort, UINT16(PortRead16(kGpi1SmiEnablePort) | kGpi1Bit));
  // Bits 3:2 of the LPC bridge's GPI routing register become 01: GPI 1 raises SMI.
  PciReadWriteRecorded(0, 31, 0, 0xB8, 0x00000004, 0xFFFFFFF3);
}

VOID EFIAPI PowerOffHandler(EFI_HANDLE, EFI_SMM_GPI_DISPATCH_CONTEXT *) {
  PortWrite8(kPowerControlPort0, 0x19);
  PortWrite8(kPowerControlPort1, PortRead8(kPowerControlPort1) | 0x40);
  PortWrite16(kGpi1SmiEnablePort, UINT16(PortRead16(kGpi1SmiEnablePort) & 0xFFFD));
  CpuHaltForever();
}

} // namespace ButtonSmm
