#include "sim/smbios/SmbiosTables.h"

#include "IndustryStandard/SmBios.h"

#include <cstring>
#include <stdexcept>

namespace sim::smbios {
namespace {

// One structure: formatted area, then its strings, then the double NUL.
void AddStructure(SmbiosTable &t, std::vector<uint8_t> formatted,
                  const std::vector<std::string> &strings) {
  std::vector<uint8_t> s = std::move(formatted);
  for (const auto &str : strings) {
    s.insert(s.end(), str.begin(), str.end());
    s.push_back(0);
  }
  if (strings.empty())
    s.push_back(0);
  s.push_back(0);
  t.MaxStructureSize = std::max<uint16_t>(t.MaxStructureSize, static_cast<uint16_t>(s.size()));
  t.Structures.insert(t.Structures.end(), s.begin(), s.end());
  ++t.StructureCount;
}

std::vector<uint8_t> Header(uint8_t type, uint8_t length, uint16_t handle) {
  std::vector<uint8_t> h(length, 0);
  h[0] = type;
  h[1] = length;
  h[2] = handle & 0xFF;
  h[3] = handle >> 8;
  return h;
}

uint8_t Checksum(const uint8_t *p, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i)
    sum = static_cast<uint8_t>(sum + p[i]);
  return static_cast<uint8_t>(0x100 - sum);
}

} // namespace

SmbiosTable BuildStructureTable(const SmbiosInfo &info) {
  SmbiosTable t;
  auto bios = Header(0, 0x18, 0x0000);
  bios[4] = 1;    // vendor
  bios[5] = 2;    // version
  bios[6] = 0x00; // starting segment E000
  bios[7] = 0xE0;
  bios[8] = 3;       // release date
  bios[9] = 0xFF;    // ROM size 16 MiB
  bios[0x0A] = 0x80; // characteristics: UEFI-era defaults
  bios[0x13] = 0x0C; // extension byte 2: UEFI supported
  AddStructure(t, bios, {info.Vendor, info.BiosVersion, info.BiosDate});

  auto system = Header(1, 0x1B, 0x0001);
  system[4] = 1;
  system[5] = 2;
  system[6] = 0; // no version string
  system[7] = 3;
  std::memcpy(&system[8], info.Uuid, 16);
  system[0x18] = 0x06; // wake-up type: power switch
  AddStructure(t, system, {info.Manufacturer, info.ProductName, info.SerialNumber});

  auto chassis = Header(3, 0x0D, 0x0002);
  chassis[4] = 1;
  chassis[5] = 0x0A; // notebook
  chassis[9] = 0x03;
  chassis[0x0A] = 0x03;
  chassis[0x0B] = 0x03;
  chassis[0x0C] = 0x02;
  AddStructure(t, chassis, {info.Manufacturer});

  AddStructure(t, Header(127, 4, 0xFEFF), {});
  return t;
}

std::vector<uint8_t> BuildEntryPoint(const SmbiosTable &table, uint32_t tableAddress) {
  if (table.Structures.size() > 0xFFFF)
    throw std::length_error("SMBIOS structure table longer than 64 KiB");
  SMBIOS_TABLE_ENTRY_POINT ep{};
  std::memcpy(ep.AnchorString, "_SM_", 4);
  ep.EntryPointLength = sizeof(ep);
  ep.MajorVersion = 2;
  ep.MinorVersion = 8;
  ep.MaxStructureSize = table.MaxStructureSize;
  std::memcpy(ep.IntermediateAnchorString, "_DMI_", 5);
  ep.TableLength = static_cast<uint16_t>(table.Structures.size());
  ep.TableAddress = tableAddress;
  ep.NumberOfSmbiosStructures = table.StructureCount;
  ep.SmbiosBcdRevision = 0x28;
  auto *bytes = reinterpret_cast<uint8_t *>(&ep);
  ep.IntermediateChecksum = Checksum(bytes + 0x10, 0x0F);
  ep.EntryPointStructureChecksum = Checksum(bytes, sizeof(ep));
  return std::vector<uint8_t>(bytes, bytes + sizeof(ep));
}

} // namespace sim::smbios
