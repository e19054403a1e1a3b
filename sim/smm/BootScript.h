// The S3 boot script: the boot-script save protocol in both call forms (the
// Framework Write with a TableName before the OpCode, and the PI save-state
// Write without it), both recording into one script, and its replay onto the
// devices on resume.
#pragma once
#include "Framework/BootScriptSave.h"
#include "sim/io/IoSpace.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class FaultInjector;

enum class ScriptForm { Framework, Pi };

struct ScriptEntry {
  ScriptForm Form;
  uint16_t TableName; // Framework form only
  uint16_t OpCode;
  uint32_t Width;               // 0 = 8, 1 = 16, 2 = 32, 3 = 64 bits
  uint64_t Address;             // port, or bus << 24 | device << 16 | function << 8 | register
  uint64_t Count;               // I/O write only
  std::vector<uint64_t> Values; // I/O write: Count values
  uint64_t Data;                // read-modify-write: OR value
  uint64_t DataMask;            // read-modify-write: AND mask
  std::string Context;

  std::string ToString() const;
  // The entry as the report's "boot_script" section stores it.
  nlohmann::json ToJson() const;
};

class BootScript {
public:
  explicit BootScript(FaultInjector &faults);
  BootScript(const BootScript &) = delete;
  BootScript &operator=(const BootScript &) = delete;

  EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Interface(ScriptForm form);
  const std::vector<ScriptEntry> &Entries() const { return entries_; }
  void SetContext(std::string context) { context_ = std::move(context); }

  // Replays every entry in order: I/O through the port space (traced), PCI
  // configuration through 0xCF8/0xCFC.
  void Replay(IoSpace &io) const;

private:
  struct Wrapped {
    EFI_BOOT_SCRIPT_SAVE_PROTOCOL Protocol;
    BootScript *Owner;
  };
  // A driver may call one Write through the other's type (a board that serves
  // one form under both lookups): the board takes the call and checks its
  // operands, so such a run ends with the board's error, not the sanitizer's.
  __attribute__((no_sanitize("function"))) static EFI_STATUS EFIAPI
  FrameworkWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This, UINT16 TableName, UINT16 OpCode, ...);
  __attribute__((no_sanitize("function"))) static EFI_STATUS EFIAPI
  PiWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This, UINTN OpCode, ...);
  static EFI_STATUS EFIAPI CloseTable(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *This, UINT16 TableName,
                                      EFI_PHYSICAL_ADDRESS *Address);
  EFI_STATUS Record(ScriptEntry entry, va_list args);

  FaultInjector &faults_;
  Wrapped framework_;
  Wrapped pi_;
  std::vector<ScriptEntry> entries_;
  std::string context_;
};

} // namespace sim
