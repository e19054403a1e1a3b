#include "button_smm/BootScriptRecord.h"
#include "button_smm/Globals.h"

namespace ButtonSmm {
namespace {

// The reference interface is the Framework one; any other interface found under
// the same GUID takes the PI save-state form.
BOOLEAN UsesFrameworkForm(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held) {
  if (gReferenceBootScript == nullptr) {
    EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Found = nullptr;
    if (!EFI_ERROR(gBS->LocateProtocol(&gEfiBootScriptSaveProtocolGuid, nullptr,
                                       reinterpret_cast<VOID **>(&Found))))
      gReferenceBootScript = Found;
  }
  return Held == gReferenceBootScript;
}

// Both forms take the OpCode's operands after the OpCode, unchanged.
template <typename... Operands>
VOID Record(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, UINT16 OpCode, Operands... Args) {
  if (Held == nullptr)
    return;
  // Without the reference the form is unknown: calling the Framework Write
  // through the PI signature would record garbage, so the write goes unrecorded.
  if (gReferenceBootScript == nullptr && !UsesFrameworkForm(Held) &&
      gReferenceBootScript == nullptr)
    return;
  if (UsesFrameworkForm(Held)) {
    Held->Write(Held, EFI_ACPI_S3_RESUME_SCRIPT_TABLE, OpCode, Args...);
  } else {
    auto Write = reinterpret_cast<EFI_S3_SAVE_STATE_WRITE>(Held->Write);
    Write(Held, UINTN(OpCode), Args...);
  }
}

} // namespace

VOID RecordIoWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width, UINT64 Port,
                   const VOID *Value) {
  Record(Held, EFI_BOOT_SCRIPT_IO_WRITE_OPCODE, Width, Port, UINTN(1), Value);
}

VOID RecordIoReadWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width,
                       UINT64 Port, const VOID *Data, const VOID *DataMask) {
  Record(Held, EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE, Width, Port, Data, DataMask);
}

VOID RecordPciReadWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width,
                        UINT64 Address, const VOID *Data, const VOID *DataMask) {
  Record(Held, EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE, Width, Address, Data, DataMask);
}

} // namespace ButtonSmm
