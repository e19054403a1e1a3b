#include "sim/core/SystemTables.h"

#include "sim/core/Crc32.h"

#include <algorithm>

namespace sim {

SystemTables::SystemTables(const EFI_BOOT_SERVICES &boot, const EFI_RUNTIME_SERVICES &runtime)
    : boot_(boot), runtime_(runtime) {
  system_.Hdr = {EFI_SYSTEM_TABLE_SIGNATURE, (2 << 16) | 31, sizeof(EFI_SYSTEM_TABLE), 0, 0};
  boot_.Hdr = {EFI_BOOT_SERVICES_SIGNATURE, (2 << 16) | 31, sizeof(EFI_BOOT_SERVICES), 0, 0};
  runtime_.Hdr = {EFI_RUNTIME_SERVICES_SIGNATURE, (2 << 16) | 31, sizeof(EFI_RUNTIME_SERVICES), 0,
                  0};
  system_.FirmwareVendor = vendor_.data();
  system_.FirmwareRevision = 0x00010000;
  system_.BootServices = &boot_;
  system_.RuntimeServices = &runtime_;
  boot_.Hdr.CRC32 = Crc32(&boot_, sizeof boot_);
  runtime_.Hdr.CRC32 = Crc32(&runtime_, sizeof runtime_);
  Refresh();
}

void SystemTables::Refresh() {
  system_.NumberOfTableEntries = entries_.size();
  system_.ConfigurationTable = entries_.empty() ? nullptr : entries_.data();
  system_.Hdr.CRC32 = 0;
  system_.Hdr.CRC32 = Crc32(&system_, sizeof system_);
}

EFI_STATUS SystemTables::InstallConfigurationTable(const EFI_GUID *guid, VOID *table) {
  if (guid == nullptr)
    return EFI_INVALID_PARAMETER;
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const EFI_CONFIGURATION_TABLE &e) { return e.VendorGuid == *guid; });
  if (table == nullptr) {
    if (it == entries_.end())
      return EFI_NOT_FOUND;
    entries_.erase(it);
  } else if (it != entries_.end()) {
    it->VendorTable = table;
  } else {
    entries_.push_back({*guid, table});
  }
  Refresh();
  return EFI_SUCCESS;
}

void SystemTables::AppendConfigurationEntry(const EFI_GUID &guid, VOID *table) {
  entries_.push_back({guid, table});
  Refresh();
}

VOID *SystemTables::FindConfigurationTable(const EFI_GUID &guid) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if (it->VendorGuid == guid)
      return it->VendorTable;
  return nullptr;
}

VOID *SystemTables::AddHobList(const HobBuilder &builder) {
  auto &words = hobLists_.emplace_back();
  builder.BuildInto(words);
  AppendConfigurationEntry(gEfiHobListGuid, words.data());
  return words.data();
}

void SystemTables::SetConsoleIn(EFI_HANDLE handle, EFI_SIMPLE_TEXT_INPUT_PROTOCOL *protocol) {
  system_.ConsoleInHandle = handle;
  system_.ConIn = protocol;
  Refresh();
}

void SystemTables::SetConsoleOut(EFI_HANDLE handle, EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *protocol) {
  system_.ConsoleOutHandle = handle;
  system_.ConOut = protocol;
  Refresh();
}

void SystemTables::SetStandardError(EFI_HANDLE handle, EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *protocol) {
  system_.StandardErrorHandle = handle;
  system_.StdErr = protocol;
  Refresh();
}

} // namespace sim
