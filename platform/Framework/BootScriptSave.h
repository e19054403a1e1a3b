// Boot-script save protocol: records register writes that the firmware replays
// on resume from S3. The same GUID may be served in two call forms: the
// Framework form with a TableName before the OpCode, and the form of the PI
// S3 save-state interface without it. The operands after the OpCode are the
// same in both.
#pragma once
#include "Uefi/UefiBaseType.h"

struct EFI_BOOT_SCRIPT_SAVE_PROTOCOL;

// Operands after the OpCode:
//   EFI_BOOT_SCRIPT_IO_WRITE_OPCODE:            Width, UINT64 Address, UINTN Count, VOID *Buffer
//   EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE:       Width, UINT64 Address, VOID *Data, VOID *DataMask
//   EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE: Width, UINT64 Address, VOID *Data, VOID *DataMask
// Width travels as EFI_BOOT_SCRIPT_WIDTH (promoted to a 32-bit unsigned).
typedef EFI_STATUS(EFIAPI *EFI_BOOT_SCRIPT_WRITE)(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This,
                                                  UINT16 TableName, UINT16 OpCode, ...);
typedef EFI_STATUS(EFIAPI *EFI_S3_SAVE_STATE_WRITE)(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This,
                                                    UINTN OpCode, ...);
typedef EFI_STATUS(EFIAPI *EFI_BOOT_SCRIPT_CLOSE_TABLE)(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This,
                                                        UINT16 TableName,
                                                        EFI_PHYSICAL_ADDRESS *Address);

// Write is declared in the Framework form; a caller holding an interface of the
// PI form calls it through EFI_S3_SAVE_STATE_WRITE.
struct EFI_BOOT_SCRIPT_SAVE_PROTOCOL {
  EFI_BOOT_SCRIPT_WRITE Write;
  EFI_BOOT_SCRIPT_CLOSE_TABLE CloseTable;
};
static_assert(sizeof(EFI_BOOT_SCRIPT_SAVE_PROTOCOL) == 16, "boot-script save layout");

enum EFI_BOOT_SCRIPT_WIDTH : UINT32 {
  EfiBootScriptWidthUint8 = 0,
  EfiBootScriptWidthUint16 = 1,
  EfiBootScriptWidthUint32 = 2,
  EfiBootScriptWidthUint64 = 3,
};

constexpr UINT16 EFI_ACPI_S3_RESUME_SCRIPT_TABLE = 0x00;

constexpr UINT16 EFI_BOOT_SCRIPT_IO_WRITE_OPCODE = 0x00;
constexpr UINT16 EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE = 0x01;
constexpr UINT16 EFI_BOOT_SCRIPT_MEM_WRITE_OPCODE = 0x02;
constexpr UINT16 EFI_BOOT_SCRIPT_MEM_READ_WRITE_OPCODE = 0x03;
constexpr UINT16 EFI_BOOT_SCRIPT_PCI_CONFIG_WRITE_OPCODE = 0x04;
constexpr UINT16 EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE = 0x05;

// PCI operand address: bus << 24 | device << 16 | function << 8 | register.
constexpr UINT64 BootScriptPciAddress(UINT8 Bus, UINT8 Device, UINT8 Function, UINT16 Register) {
  return (UINT64(Bus) << 24) | (UINT64(Device) << 16) | (UINT64(Function) << 8) | (Register & 0xFF);
}

inline constexpr EFI_GUID gEfiBootScriptSaveProtocolGuid = {
    0x470E1529, 0xB79E, 0x4E32, {0xA0, 0xFE, 0x6A, 0x15, 0x6D, 0x29, 0xF9, 0xB2}};
