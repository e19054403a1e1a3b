#include "sim/acpi/AcpiTables.h"

#include "Acpi/Fadt.h"
#include "Acpi/Rsdp.h"

#include <cstring>
#include <numeric>

namespace sim {

namespace {

constexpr char kOemId[6] = {'Z', 'E', 'L', 'N', 'B', ' '};
constexpr char kOemTableId[8] = {'R', 'E', 'F', 'B', 'O', 'A', 'R', 'D'};

template <class T> void Put(AcpiBytes &bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

AcpiBytes NewTable(const char (&signature)[5], std::size_t length, std::uint8_t revision) {
  AcpiBytes bytes(length, 0);
  EFI_ACPI_DESCRIPTION_HEADER header{};
  std::memcpy(&header.Signature, signature, 4);
  header.Length = std::uint32_t(length);
  header.Revision = revision;
  std::memcpy(header.OemId, kOemId, sizeof kOemId);
  std::memcpy(&header.OemTableId, kOemTableId, sizeof kOemTableId);
  header.OemRevision = 0x1000;
  header.CreatorId = AcpiSignature('Z', 'S', 'I', 'M');
  header.CreatorRevision = 1;
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

AcpiBytes Finish(AcpiBytes bytes) {
  SetAcpiChecksum(bytes);
  return bytes;
}

EFI_ACPI_GENERIC_ADDRESS_STRUCTURE SystemIo(std::uint8_t bits, std::uint64_t port) {
  return {1, bits, 0, 0, port};
}

} // namespace

AcpiBytes BuildFadt(const FadtAddresses &a) {
  EFI_ACPI_FIXED_ACPI_DESCRIPTION_TABLE fadt{};
  AcpiBytes bytes = NewTable("FACP", sizeof fadt, 4);
  std::memcpy(&fadt, bytes.data(), sizeof fadt.Header);
  fadt.FirmwareCtrl = a.Facs;
  fadt.Dsdt = a.Dsdt;
  fadt.PreferredPmProfile = 2; // mobile
  fadt.SciInt = 9;
  fadt.SmiCmd = 0xB2;
  fadt.AcpiEnable = 0xA0;
  fadt.AcpiDisable = 0xA1;
  fadt.Pm1aEvtBlk = 0x400;
  fadt.Pm1aCntBlk = 0x404;
  fadt.PmTmrBlk = 0x408;
  fadt.Gpe0Blk = 0x420;
  fadt.Pm1EvtLen = 4;
  fadt.Pm1CntLen = 2;
  fadt.PmTmrLen = 4;
  fadt.Gpe0BlkLen = 16;
  fadt.PLvl2Lat = 101;  // no C2
  fadt.PLvl3Lat = 1001; // no C3
  fadt.DayAlrm = 0x0D;
  fadt.Century = 0x32;
  fadt.IaPcBootArch = 0x0003; // legacy devices, 8042
  fadt.Flags = 0x000004A5;    // WBINVD, PROC_C1, SLP_BUTTON, RTC_S4, RESET_REG_SUP
  fadt.ResetReg = SystemIo(8, 0xCF9);
  fadt.ResetValue = 0x06;
  fadt.XFirmwareCtrl = a.XFacs;
  fadt.XDsdt = a.XDsdt;
  fadt.XPm1aEvtBlk = SystemIo(32, 0x400);
  fadt.XPm1aCntBlk = SystemIo(16, 0x404);
  fadt.XPmTmrBlk = SystemIo(32, 0x408);
  fadt.XGpe0Blk = SystemIo(128, 0x420);
  std::memcpy(bytes.data(), &fadt, sizeof fadt);
  return Finish(std::move(bytes));
}

AcpiBytes BuildFacs() {
  EFI_ACPI_FIRMWARE_ACPI_CONTROL_STRUCTURE facs{};
  facs.Signature = EFI_ACPI_FACS_SIGNATURE;
  facs.Length = sizeof facs;
  facs.HardwareSignature = 0x5A454C31;
  facs.Version = 1;
  AcpiBytes bytes(sizeof facs);
  std::memcpy(bytes.data(), &facs, sizeof facs);
  return bytes; // the FACS carries no checksum
}

AcpiBytes BuildMadt() {
  // Header, local APIC address and flags, two processor local APICs, one I/O
  // APIC and the SCI's interrupt source override.
  AcpiBytes bytes = NewTable("APIC", 44 + 2 * 8 + 12 + 10, 2);
  Put<std::uint32_t>(bytes, 36, 0xFEE00000);
  Put<std::uint32_t>(bytes, 40, 1); // PC-AT compatible
  std::size_t at = 44;
  for (std::uint8_t cpu = 0; cpu < 2; ++cpu, at += 8) {
    const std::uint8_t entry[8] = {0, 8, cpu, cpu, 1, 0, 0, 0};
    std::memcpy(bytes.data() + at, entry, sizeof entry);
  }
  const std::uint8_t ioApic[12] = {1, 12, 2, 0, 0x00, 0x00, 0xC0, 0xFE, 0, 0, 0, 0};
  std::memcpy(bytes.data() + at, ioApic, sizeof ioApic);
  at += sizeof ioApic;
  const std::uint8_t sciOverride[10] = {2, 10, 0, 9, 9, 0, 0, 0, 0x0D, 0x00};
  std::memcpy(bytes.data() + at, sciOverride, sizeof sciOverride);
  return Finish(std::move(bytes));
}

AcpiBytes BuildHpet() {
  AcpiBytes bytes = NewTable("HPET", 56, 1);
  Put<std::uint32_t>(bytes, 36, 0x8086A201); // event timer block id
  const auto base = EFI_ACPI_GENERIC_ADDRESS_STRUCTURE{0, 64, 0, 0, 0xFED00000};
  std::memcpy(bytes.data() + 40, &base, sizeof base);
  Put<std::uint16_t>(bytes, 53, 0x0080); // minimum tick
  return Finish(std::move(bytes));
}

AcpiBytes BuildMcfg(std::uint64_t pcieBase) {
  AcpiBytes bytes = NewTable("MCFG", 44 + 16, 1);
  Put<std::uint64_t>(bytes, 44, pcieBase);
  Put<std::uint16_t>(bytes, 52, 0); // segment
  bytes[54] = 0;                    // first bus
  bytes[55] = 0x3F;                 // last bus
  return Finish(std::move(bytes));
}

AcpiBytes BuildRsdt(const std::vector<std::uint32_t> &entries) {
  AcpiBytes bytes = NewTable("RSDT", 36 + 4 * entries.size(), 1);
  for (std::size_t i = 0; i < entries.size(); ++i)
    Put(bytes, 36 + 4 * i, entries[i]);
  return Finish(std::move(bytes));
}

AcpiBytes BuildXsdt(const std::vector<std::uint64_t> &entries) {
  AcpiBytes bytes = NewTable("XSDT", 36 + 8 * entries.size(), 1);
  for (std::size_t i = 0; i < entries.size(); ++i)
    Put(bytes, 36 + 8 * i, entries[i]);
  return Finish(std::move(bytes));
}

AcpiBytes BuildRsdp(std::uint32_t rsdt, std::uint64_t xsdt) {
  EFI_ACPI_ROOT_SYSTEM_DESCRIPTION_POINTER rsdp{};
  rsdp.Signature = EFI_ACPI_RSDP_SIGNATURE;
  std::memcpy(rsdp.OemId, kOemId, sizeof kOemId);
  rsdp.Revision = 2;
  rsdp.RsdtAddress = rsdt;
  rsdp.Length = sizeof rsdp;
  rsdp.XsdtAddress = xsdt;
  AcpiBytes bytes(sizeof rsdp);
  std::memcpy(bytes.data(), &rsdp, sizeof rsdp);
  auto sum = [&](std::size_t n) {
    return std::uint8_t(std::accumulate(bytes.begin(), bytes.begin() + std::ptrdiff_t(n), 0u));
  };
  bytes[8] = std::uint8_t(-sum(EFI_ACPI_RSDP_V1_LENGTH));
  bytes[32] = std::uint8_t(-sum(sizeof rsdp));
  return bytes;
}

void SetAcpiChecksum(std::span<std::uint8_t> table) {
  table[9] = 0;
  table[9] = std::uint8_t(-std::accumulate(table.begin(), table.end(), 0u));
}

bool AcpiChecksumValid(std::span<const std::uint8_t> table) {
  return std::uint8_t(std::accumulate(table.begin(), table.end(), 0u)) == 0;
}

std::string AcpiSignatureOf(std::span<const std::uint8_t> table) {
  return table.size() < 4 ? std::string() : std::string(table.begin(), table.begin() + 4);
}

} // namespace sim
