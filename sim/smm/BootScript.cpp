#include "sim/smm/BootScript.h"
#include "sim/core/Faults.h"
#include "sim/core/Text.h"

#include "sim/core/Errors.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

namespace sim {
namespace {

uint8_t WidthBytes(uint32_t width) {
  return uint8_t(1u << width);
}

// An operand the caller points at. A caller that used the other form's
// signature passes a count or a port where the pointer belongs: the copy goes
// through the kernel, which refuses unmapped addresses, so such a call ends
// the run with an error naming it instead of a crash.
uint64_t ReadSized(const void *pointer, uint32_t width) {
  uint64_t value = 0;
  iovec local{&value, WidthBytes(width)};
  iovec remote{const_cast<void *>(pointer), WidthBytes(width)};
  if (::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) != ssize_t(local.iov_len)) {
    if (errno != EFAULT) { // the call itself is not allowed here: read directly
      std::memcpy(&value, pointer, local.iov_len);
      return value;
    }
    throw SimulationError(
        Printf("boot-script Write: the operand pointer %p points at no memory (a caller "
               "using the other form's signature?)",
               pointer));
  }
  return value; // little-endian: the low bytes hold the operand
}

} // namespace

BootScript::BootScript(FaultInjector &faults) : faults_(faults) {
  framework_ = {{FrameworkWrite, CloseTable}, this};
  // The PI form shares the slot; callers holding it call through its own type.
  pi_ = {{reinterpret_cast<EFI_BOOT_SCRIPT_WRITE>(PiWrite), CloseTable}, this};
}

EFI_BOOT_SCRIPT_SAVE_PROTOCOL *BootScript::Interface(ScriptForm form) {
  return form == ScriptForm::Framework ? &framework_.Protocol : &pi_.Protocol;
}

EFI_STATUS EFIAPI BootScript::FrameworkWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This, UINT16 TableName,
                                             UINT16 OpCode, ...) {
  auto *self = reinterpret_cast<Wrapped *>(This)->Owner;
  if (auto injected = self->faults_.Check("BootScript.Write"))
    return *injected;
  va_list args;
  // The Framework form ends its named parameters with a UINT16; the x64 calling
  // conventions pass it in a full register slot, so va_start finds the operands.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
  va_start(args, OpCode);
#pragma clang diagnostic pop
  EFI_STATUS status =
      self->Record({ScriptForm::Framework, TableName, OpCode, 0, 0, 0, {}, 0, 0, {}}, args);
  va_end(args);
  return status;
}

EFI_STATUS EFIAPI BootScript::PiWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This, UINTN OpCode, ...) {
  auto *self = reinterpret_cast<Wrapped *>(This)->Owner;
  if (auto injected = self->faults_.Check("BootScript.Write"))
    return *injected;
  va_list args;
  va_start(args, OpCode);
  EFI_STATUS status =
      self->Record({ScriptForm::Pi, 0, uint16_t(OpCode), 0, 0, 0, {}, 0, 0, {}}, args);
  va_end(args);
  return status;
}

EFI_STATUS EFIAPI BootScript::CloseTable(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *, UINT16,
                                         EFI_PHYSICAL_ADDRESS *) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS BootScript::Record(ScriptEntry entry, va_list args) {
  if (entry.Form == ScriptForm::Framework && entry.TableName != EFI_ACPI_S3_RESUME_SCRIPT_TABLE)
    return EFI_INVALID_PARAMETER;
  entry.Width = va_arg(args, UINT32);
  if (entry.Width > EfiBootScriptWidthUint64)
    return EFI_INVALID_PARAMETER;
  entry.Address = va_arg(args, UINT64);
  switch (entry.OpCode) {
  case EFI_BOOT_SCRIPT_IO_WRITE_OPCODE: {
    entry.Count = va_arg(args, UINTN);
    auto *buffer = static_cast<const uint8_t *>(va_arg(args, const VOID *));
    if (buffer == nullptr || entry.Count == 0 || entry.Count > 4096)
      return EFI_INVALID_PARAMETER;
    for (uint64_t i = 0; i < entry.Count; ++i)
      entry.Values.push_back(ReadSized(buffer + i * WidthBytes(entry.Width), entry.Width));
    break;
  }
  case EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE:
  case EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE: {
    auto *data = va_arg(args, const VOID *);
    auto *mask = va_arg(args, const VOID *);
    if (data == nullptr || mask == nullptr)
      return EFI_INVALID_PARAMETER;
    entry.Data = ReadSized(data, entry.Width);
    entry.DataMask = ReadSized(mask, entry.Width);
    break;
  }
  default:
    return EFI_UNSUPPORTED; // the board replays only what it can record
  }
  entry.Context = context_;
  entries_.push_back(std::move(entry));
  return EFI_SUCCESS;
}

void BootScript::Replay(IoSpace &io) const {
  for (const ScriptEntry &e : entries_) {
    uint8_t bytes = WidthBytes(e.Width);
    switch (e.OpCode) {
    case EFI_BOOT_SCRIPT_IO_WRITE_OPCODE:
      for (uint64_t value : e.Values)
        io.Write(uint16_t(e.Address), bytes, uint32_t(value));
      break;
    case EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE: {
      uint64_t old = io.Read(uint16_t(e.Address), bytes);
      io.Write(uint16_t(e.Address), bytes, uint32_t((old & e.DataMask) | e.Data));
      break;
    }
    case EFI_BOOT_SCRIPT_PCI_CONFIG_READ_WRITE_OPCODE: {
      uint32_t bus = uint32_t(e.Address >> 24) & 0xFF, device = uint32_t(e.Address >> 16) & 0x1F,
               function = uint32_t(e.Address >> 8) & 7, reg = uint32_t(e.Address) & 0xFF;
      uint32_t config = 0x80000000u | bus << 16 | device << 11 | function << 8 | (reg & 0xFC);
      io.Write(0xCF8, 4, config);
      uint16_t data = uint16_t(0xCFC + (reg & 3));
      uint64_t old = io.Read(data, bytes);
      io.Write(0xCF8, 4, config);
      io.Write(data, bytes, uint32_t((old & e.DataMask) | e.Data));
      break;
    }
    }
  }
}

nlohmann::json ScriptEntry::ToJson() const {
  return {{"opcode", OpCode}, {"form", Form == ScriptForm::Framework ? "framework" : "pi"},
          {"width", Width},   {"address", Address},
          {"values", Values}, {"data", Data},
          {"mask", DataMask}};
}

std::string ScriptEntry::ToString() const {
  static const char *const kWidth[] = {"8", "16", "32", "64"};
  const char *form = Form == ScriptForm::Framework ? "framework" : "pi";
  switch (OpCode) {
  case EFI_BOOT_SCRIPT_IO_WRITE_OPCODE:
    return Printf("io-write  port 0x%04llX width %-2s value 0x%0*llX  [%s]",
                  (unsigned long long)Address, kWidth[Width & 3], 2 << (Width & 3),
                  (unsigned long long)(Values.empty() ? 0 : Values[0]), form);
  case EFI_BOOT_SCRIPT_IO_READ_WRITE_OPCODE:
    return Printf("io-rmw    port 0x%04llX width %-2s or 0x%0*llX and 0x%0*llX  [%s]",
                  (unsigned long long)Address, kWidth[Width & 3], 2 << (Width & 3),
                  (unsigned long long)Data, 2 << (Width & 3), (unsigned long long)DataMask, form);
  default:
    return Printf("pci-rmw   %02llX:%02llX.%llX reg 0x%02llX width %s or "
                  "0x%08llX and 0x%08llX  [%s]",
                  (unsigned long long)(Address >> 24 & 0xFF),
                  (unsigned long long)(Address >> 16 & 0xFF),
                  (unsigned long long)(Address >> 8 & 0xFF), (unsigned long long)(Address & 0xFF),
                  kWidth[Width & 3], (unsigned long long)Data, (unsigned long long)DataMask, form);
  }
}

} // namespace sim
