// The board's ACPI tables as bytes: a FADT pointing at the DSDT, the FACS,
// a few tables a laptop lists besides (MADT, HPET, MCFG), and the root
// pointer and tables. Every table gets a valid checksum.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

using AcpiBytes = std::vector<std::uint8_t>;

struct FadtAddresses {
  std::uint32_t Facs = 0;
  std::uint32_t Dsdt = 0;
  std::uint64_t XFacs = 0;
  std::uint64_t XDsdt = 0;
};

AcpiBytes BuildFadt(const FadtAddresses &addresses);
AcpiBytes BuildFacs();
AcpiBytes BuildMadt();
AcpiBytes BuildHpet();
AcpiBytes BuildMcfg(std::uint64_t pcieBase);
AcpiBytes BuildRsdt(const std::vector<std::uint32_t> &entries);
AcpiBytes BuildXsdt(const std::vector<std::uint64_t> &entries);
AcpiBytes BuildRsdp(std::uint32_t rsdt, std::uint64_t xsdt);

// The byte that makes the table (its Length bytes) sum to 0, written at 9.
void SetAcpiChecksum(std::span<std::uint8_t> table);
bool AcpiChecksumValid(std::span<const std::uint8_t> table);
// The four signature characters of a table.
std::string AcpiSignatureOf(std::span<const std::uint8_t> table);

} // namespace sim
