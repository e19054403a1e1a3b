// The EFI system table with its boot-services and runtime-services tables and
// the configuration table. One instance per simulated boot.
#pragma once
#include "Uefi/UefiSpec.h"
#include "sim/core/HobBuilder.h"

#include <list>
#include <string>
#include <vector>

namespace sim {

class SystemTables {
public:
  SystemTables(const EFI_BOOT_SERVICES &boot, const EFI_RUNTIME_SERVICES &runtime);
  SystemTables(const SystemTables &) = delete;
  SystemTables &operator=(const SystemTables &) = delete;

  EFI_SYSTEM_TABLE *System() { return &system_; }
  EFI_BOOT_SERVICES *Boot() { return &boot_; }
  EFI_RUNTIME_SERVICES *Runtime() { return &runtime_; }

  // InstallConfigurationTable semantics: add, replace, or remove (NULL table).
  EFI_STATUS InstallConfigurationTable(const EFI_GUID *guid, VOID *table);
  // Board side: appends an entry even when the GUID is present already
  // (several HOB lists).
  void AppendConfigurationEntry(const EFI_GUID &guid, VOID *table);
  // The last entry with the GUID, or NULL.
  VOID *FindConfigurationTable(const EFI_GUID &guid) const;
  const std::vector<EFI_CONFIGURATION_TABLE> &ConfigurationTable() const { return entries_; }

  // Builds the list into storage owned here and appends it under
  // gEfiHobListGuid. Returns the list's address.
  VOID *AddHobList(const HobBuilder &builder);

  void SetConsoleIn(EFI_HANDLE handle, EFI_SIMPLE_TEXT_INPUT_PROTOCOL *protocol);
  void SetConsoleOut(EFI_HANDLE handle, EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *protocol);
  void SetStandardError(EFI_HANDLE handle, EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *protocol);

private:
  void Refresh();

  EFI_SYSTEM_TABLE system_{};
  EFI_BOOT_SERVICES boot_{};
  EFI_RUNTIME_SERVICES runtime_{};
  std::vector<EFI_CONFIGURATION_TABLE> entries_;
  std::list<std::vector<uint64_t>> hobLists_; // list: addresses stay put
  std::u16string vendor_ = u"Laptop platform simulator";
};

} // namespace sim
