#include "smm_compat/core/BootScriptLog.h"

#include <stdarg.h>

namespace SmmCompat {
namespace {

constinit CompatRecord *gLog = nullptr;

UINT64 ReadWidth(const VOID *Buffer, UINT32 Width) {
  const auto *P = static_cast<const UINT8 *>(Buffer);
  UINT64 Value = 0;
  for (UINTN i = 0; i < (UINTN(1) << Width); ++i)
    Value |= UINT64(P[i]) << (8 * i);
  return Value;
}

// Reads the operands that follow OpCode in both forms and records them.
EFI_STATUS Record(UINT8 Form, UINTN OpCode, va_list Args) {
  BootScriptEntry Entry = {};
  Entry.Form = Form;
  Entry.OpCode = UINT8(OpCode);
  switch (OpCode) {
  case EFI_BOOT_SCRIPT_IO_WRITE_OPCODE:
  case EFI_BOOT_SCRIPT_MEM_WRITE_OPCODE:
  case EFI_BOOT_SCRIPT_PCI_CONFIG_WRITE_OPCODE: {
    UINT32 Width = va_arg(Args, UINT32);
    Entry.Address = va_arg(Args, UINT64);
    UINTN Count = va_arg(Args, UINTN);
    const VOID *Buffer = va_arg(Args, const VOID *);
    if (Width > EfiBootScriptWidthUint64 || Buffer == nullptr || Count == 0 || Count > 0xFFFFFFFF)
      return EFI_INVALID_PARAMETER;
    Entry.Width = UINT8(Width);
    Entry.Count = UINT32(Count);
    Entry.Value = ReadWidth(Buffer, Width);
    break;
  }
  case EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE:
  case EFI_BOOT_SCRIPT_MEM_READ_WRITE_OPCODE:
  case EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE: {
    UINT32 Width = va_arg(Args, UINT32);
    Entry.Address = va_arg(Args, UINT64);
    const VOID *Data = va_arg(Args, const VOID *);
    const VOID *Mask = va_arg(Args, const VOID *);
    if (Width > EfiBootScriptWidthUint64 || Data == nullptr || Mask == nullptr)
      return EFI_INVALID_PARAMETER;
    Entry.Width = UINT8(Width);
    Entry.Count = 1;
    Entry.Value = ReadWidth(Data, Width);
    Entry.Mask = ReadWidth(Mask, Width);
    break;
  }
  default:
    // Opcodes the platform's drivers do not use are not accepted silently.
    return EFI_UNSUPPORTED;
  }
  if (gLog == nullptr)
    return EFI_NOT_READY;
  if (gLog->BootScriptCount >= kMaxBootScriptEntries) {
    ++gLog->BootScriptDropped;
    return EFI_OUT_OF_RESOURCES;
  }
  gLog->BootScript[gLog->BootScriptCount++] = Entry;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FrameworkWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *, UINT16 TableName, UINT16 OpCode,
                                 ...) {
  if (TableName != EFI_ACPI_S3_RESUME_SCRIPT_TABLE)
    return EFI_INVALID_PARAMETER;
  va_list Args;
  // The Framework form ends its named parameters with a UINT16; the x64 calling
  // conventions pass it in a full argument slot, so va_start finds the operands.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
  va_start(Args, OpCode);
#pragma clang diagnostic pop
  EFI_STATUS Status = Record(kFormFramework, OpCode, Args);
  va_end(Args);
  return Status;
}

EFI_STATUS EFIAPI PiWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *, UINTN OpCode, ...) {
  va_list Args;
  va_start(Args, OpCode);
  EFI_STATUS Status = Record(kFormPi, OpCode, Args);
  va_end(Args);
  return Status;
}

EFI_STATUS EFIAPI CloseTable(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *, UINT16 TableName,
                             EFI_PHYSICAL_ADDRESS *Address) {
  if (TableName != EFI_ACPI_S3_RESUME_SCRIPT_TABLE || Address == nullptr)
    return EFI_INVALID_PARAMETER;
  *Address = EFI_PHYSICAL_ADDRESS(reinterpret_cast<UINTN>(gLog));
  return gLog == nullptr ? EFI_NOT_READY : EFI_SUCCESS;
}

constinit EFI_BOOT_SCRIPT_SAVE_PROTOCOL gFramework = {FrameworkWrite, CloseTable};

// The PI form's interface: the protocol's layout, Write with the OpCode first.
struct PiBootScriptProtocol {
  EFI_S3_SAVE_STATE_WRITE Write;
  EFI_BOOT_SCRIPT_CLOSE_TABLE CloseTable;
};
static_assert(sizeof(PiBootScriptProtocol) == sizeof(EFI_BOOT_SCRIPT_SAVE_PROTOCOL),
              "both forms share the layout");
constinit PiBootScriptProtocol gPi = {PiWrite, CloseTable};

} // namespace

VOID InitBootScriptLog(CompatRecord *Record) {
  gLog = Record;
}

EFI_BOOT_SCRIPT_SAVE_PROTOCOL *FrameworkBootScript() {
  return &gFramework;
}

EFI_BOOT_SCRIPT_SAVE_PROTOCOL *PiBootScript() {
  return reinterpret_cast<EFI_BOOT_SCRIPT_SAVE_PROTOCOL *>(&gPi);
}

} // namespace SmmCompat
