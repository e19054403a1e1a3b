// The hardware layer: EC RAM through its indexed window, Super-I/O configuration
// registers, chipset ports and PCI configuration, with S3 boot-script recording
// of the start-up writes.
#pragma once
#include "Framework/SmmGpiDispatch.h"
#include "Uefi/UefiBaseType.h"

namespace ButtonSmm {

UINT8 EcRead(UINT16 Address);
VOID EcWrite(UINT16 Address, UINT8 Value);
VOID EcWriteRecorded(UINT16 Address, UINT8 Value);

UINT8 SioRead(UINT8 Index);
VOID SioWriteMasked(UINT8 Index, UINT8 AndMask, UINT8 OrValue);
VOID SioPinConfig(UINT8 Pin, UINT8 Register, UINT8 Value);

VOID IoWrite16Recorded(UINT16 Port, UINT16 Value);
VOID IoWrite32Recorded(UINT16 Port, UINT32 Value);

UINT32 PciRead32(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register);
UINT32 PciWrite32(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register, UINT32 Value);
VOID PciReadWriteRecorded(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register, UINT32 OrValue,
                          UINT32 AndMask);

UINT8 ReadAndAckEcEvent();
BOOLEAN IsAcpiMode();
VOID RaiseSci();
VOID SetOutputBit1(BOOLEAN On);
VOID SetMicMuteIndicator(BOOLEAN On);

VOID InitButtonHardware();
VOID SetupGpi1Smi();
// GPI 1: powers the machine off and never returns.
VOID EFIAPI PowerOffHandler(EFI_HANDLE DispatchHandle, EFI_SMM_GPI_DISPATCH_CONTEXT *Context);

} // namespace ButtonSmm
