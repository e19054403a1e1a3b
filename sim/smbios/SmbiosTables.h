// An SMBIOS 2.x structure table and its entry point, as real bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim::smbios {

struct SmbiosInfo {
  std::string Vendor = "Simulated Firmware";
  std::string BiosVersion = "1.00";
  std::string BiosDate = "01/01/2026";
  std::string Manufacturer = "Laptop Maker";
  std::string ProductName = "Laptop 14";
  std::string SerialNumber = "SIM0001";
  uint8_t Uuid[16] = {};
};

struct SmbiosTable {
  std::vector<uint8_t> Structures; // type 0, 1, 3, 127
  uint16_t StructureCount = 0;
  uint16_t MaxStructureSize = 0;
};

SmbiosTable BuildStructureTable(const SmbiosInfo &info);
// A 0x1F-byte SMBIOS 2.8 entry point naming a table at tableAddress, with both
// checksums.
std::vector<uint8_t> BuildEntryPoint(const SmbiosTable &table, uint32_t tableAddress);

} // namespace sim::smbios
