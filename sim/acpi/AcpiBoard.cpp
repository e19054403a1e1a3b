#include "sim/acpi/AcpiBoard.h"
#include "sim/acpi/AcpiExec.h"
#include "sim/acpi/ReferenceDsdt.h"

#include "Acpi/AcpiHeader.h"
#include "Acpi/Rsdp.h"
#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/InputFile.h"
#include "sim/core/SystemTables.h"
#include "sim/memory/MemoryMap.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>

namespace sim {

namespace {

constexpr std::uint64_t kPcieBase = 0xF8000000;
constexpr EFI_ACPI_TABLE_VERSION kAllVersions =
    EFI_ACPI_TABLE_VERSION_1_0B | EFI_ACPI_TABLE_VERSION_2_0 | EFI_ACPI_TABLE_VERSION_3_0;
const std::vector<std::string> kDefaultTables = {"APIC", "HPET", "MCFG", "FACP", "FACS", "DSDT"};
const std::vector<std::string> kKnownTables = {"APIC", "HPET", "MCFG", "FACP", "FACS", "DSDT"};

// A DSDT of a laptop is a few KiB to some tens of KiB.
constexpr uintmax_t kMaxDsdtFile = 64 * 1024;

AcpiBytes ReadAml(const std::filesystem::path &path, ConfigSection &section) {
  AcpiBytes bytes;
  try {
    auto data = ReadInputFile(path, kMaxDsdtFile);
    bytes.assign(data.begin(), data.end());
  } catch (const InputError &e) {
    section.Fail("dsdt", e.what());
  }
  if (bytes.size() < sizeof(EFI_ACPI_DESCRIPTION_HEADER) || AcpiSignatureOf(bytes) != "DSDT")
    section.Fail("dsdt", path.string() + " is no DSDT");
  return bytes;
}

} // namespace

AcpiBoard::AcpiBoard() {
  instance_.Protocol = {&GetAcpiTable, &SetAcpiTable, &PublishTables};
  instance_.Owner = this;
}

void AcpiBoard::Configure(ConfigSection &section) {
  dsdtSource_ = section.String("dsdt", "reference");
  if (dsdtSource_ == "reference") {
    configuredDsdt_.assign(kReferenceDsdtAml, kReferenceDsdtAml + kReferenceDsdtAmlSize);
  } else {
    std::filesystem::path path(dsdtSource_);
    if (path.is_relative())
      path = std::filesystem::path(section.File()).parent_path() / path;
    configuredDsdt_ = ReadAml(path, section);
  }
  tables_ = section.Strings("tables", kDefaultTables);
  for (std::size_t i = 0; i < tables_.size(); ++i) {
    if (std::find(kKnownTables.begin(), kKnownTables.end(), tables_[i]) == kKnownTables.end())
      section.Fail("tables", "unknown table \"" + tables_[i] + "\"");
    if (std::find(tables_.begin(), tables_.begin() + std::ptrdiff_t(i), tables_[i]) !=
        tables_.begin() + std::ptrdiff_t(i))
      section.Fail("tables", "\"" + tables_[i] + "\" is listed twice");
  }
  if (section.Has("fadt_dsdt"))
    fadtDsdt_ = std::uint32_t(section.Integer("fadt_dsdt", 0, 0, UINT32_MAX));
  if (section.Has("fadt_x_dsdt"))
    fadtXDsdt_ = section.Integer("fadt_x_dsdt", 0);
  installProtocol_ = section.Bool("protocol", true);
  region_ = section.String("region", "low");
  tpmDevice_ = section.String("tpm_device", "\\_SB.PCI0.LPCB.TPM");
  if (tpmDevice_.empty() || tpmDevice_[0] != '\\' ||
      tpmDevice_.find_first_of(" ;\n\r") != std::string::npos)
    section.Fail("tpm_device", "\"" + tpmDevice_ + "\" is no absolute ACPI path");
}

void AcpiBoard::AttachPhases(BootSequence &sequence) {
  sequence.Attach("board-protocols", "acpi", [this](Board &board) {
    if (installProtocol_)
      InstallProtocol(board);
  });
}

AcpiBoard::PlacedTable AcpiBoard::Place(Board &board, const std::string &signature,
                                        const AcpiBytes &bytes, std::uint64_t alignment) {
  const EFI_PHYSICAL_ADDRESS address = board.Memory().Allocate(region_, bytes.size(), alignment);
  if (address + bytes.size() > 0x100000000ULL)
    throw SimulationError("acpi: memory region \"" + region_ + "\" lies above 4 GiB");
  std::memcpy(board.Memory().ToPointer(address), bytes.data(), bytes.size());
  return {signature, address, std::uint32_t(bytes.size()), 0};
}

void AcpiBoard::PowerOn(Board &board) {
  listed_.clear();
  nextHandle_ = 1;
  pristine_ = configuredDsdt_;
  dsdt_ = Place(board, "DSDT", pristine_);
  const PlacedTable facs = Place(board, "FACS", BuildFacs(), 64);
  FadtAddresses addresses;
  addresses.Facs = std::uint32_t(facs.Address);
  addresses.XFacs = facs.Address;
  addresses.Dsdt = fadtDsdt_.value_or(std::uint32_t(dsdt_.Address));
  addresses.XDsdt = fadtXDsdt_.value_or(dsdt_.Address);
  const PlacedTable fadt = Place(board, "FACP", BuildFadt(addresses));

  for (const std::string &signature : tables_) {
    PlacedTable table;
    if (signature == "DSDT")
      table = dsdt_;
    else if (signature == "FACS")
      table = facs;
    else if (signature == "FACP")
      table = fadt;
    else if (signature == "APIC")
      table = Place(board, signature, BuildMadt());
    else if (signature == "HPET")
      table = Place(board, signature, BuildHpet());
    else
      table = Place(board, signature, BuildMcfg(kPcieBase));
    table.Handle = nextHandle_++;
    listed_.push_back(table);
  }
  PlaceRoot(board);
}

// The RSDT and XSDT list every listed table but the FACS and the DSDT, which
// the FADT points at; the RSDP goes into the configuration table.
void AcpiBoard::PlaceRoot(Board &board) {
  std::vector<std::uint32_t> rsdt;
  std::vector<std::uint64_t> xsdt;
  for (const PlacedTable &t : listed_) {
    if (t.Signature == "FACS" || t.Signature == "DSDT")
      continue;
    rsdt.push_back(std::uint32_t(t.Address));
    xsdt.push_back(t.Address);
  }
  const PlacedTable r = Place(board, "RSDT", BuildRsdt(rsdt));
  const PlacedTable x = Place(board, "XSDT", BuildXsdt(xsdt));
  rsdp_ = Place(board, "RSD PTR", BuildRsdp(std::uint32_t(r.Address), x.Address)).Address;
}

void AcpiBoard::InstallProtocol(Board &board) {
  EFI_HANDLE handle = nullptr;
  const EFI_STATUS status = board.Handles().Install(&handle, &gEfiAcpiSupportProtocolGuid,
                                                    EFI_NATIVE_INTERFACE, &instance_.Protocol);
  if (EFI_ERROR(status))
    throw SimulationError("acpi: installing the ACPI support protocol failed");
  board.Tables().InstallConfigurationTable(&gEfiAcpiTableGuid, board.Memory().ToPointer(rsdp_));
}

EFI_STATUS EFIAPI AcpiBoard::GetAcpiTable(EFI_ACPI_SUPPORT_PROTOCOL *This, INTN Index, VOID **Table,
                                          EFI_ACPI_TABLE_VERSION *Version, UINTN *Handle) {
  Board &board = Board::Current();
  if (auto injected = board.Faults().Check("AcpiSupport.GetAcpiTable"))
    return *injected;
  if (This == nullptr || Table == nullptr || Version == nullptr || Handle == nullptr)
    return EFI_INVALID_PARAMETER;
  AcpiBoard &self = *reinterpret_cast<Instance *>(This)->Owner;
  if (Index < 0 || std::size_t(Index) >= self.listed_.size())
    return EFI_NOT_FOUND;
  const PlacedTable &t = self.listed_[std::size_t(Index)];
  // The installed table itself, not a copy: what the caller changes is what
  // the operating system gets.
  *Table = board.Memory().ToPointer(t.Address);
  *Version = kAllVersions;
  *Handle = t.Handle;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI AcpiBoard::SetAcpiTable(EFI_ACPI_SUPPORT_PROTOCOL *This, const VOID *Table,
                                          BOOLEAN Checksum, EFI_ACPI_TABLE_VERSION Version,
                                          UINTN *Handle) {
  Board &board = Board::Current();
  if (auto injected = board.Faults().Check("AcpiSupport.SetAcpiTable"))
    return *injected;
  (void)Version;
  if (This == nullptr || Handle == nullptr)
    return EFI_INVALID_PARAMETER;
  AcpiBoard &self = *reinterpret_cast<Instance *>(This)->Owner;
  auto existing = std::find_if(self.listed_.begin(), self.listed_.end(),
                               [&](const PlacedTable &t) { return t.Handle == *Handle; });
  if (*Handle != 0 && existing == self.listed_.end())
    return EFI_NOT_FOUND;
  if (Table == nullptr) {
    if (*Handle == 0)
      return EFI_INVALID_PARAMETER;
    self.listed_.erase(existing);
    return EFI_SUCCESS;
  }
  const auto *header = static_cast<const EFI_ACPI_DESCRIPTION_HEADER *>(Table);
  if (header->Length < 8)
    return EFI_INVALID_PARAMETER;
  const auto *bytes = static_cast<const std::uint8_t *>(Table);
  AcpiBytes copy(bytes, bytes + header->Length);
  const std::string signature = AcpiSignatureOf(copy);
  if (Checksum && signature != "FACS" && copy.size() >= sizeof(EFI_ACPI_DESCRIPTION_HEADER))
    SetAcpiChecksum(copy);
  PlacedTable placed = self.Place(board, signature, copy);
  if (existing != self.listed_.end()) {
    placed.Handle = existing->Handle;
    *existing = placed;
  } else {
    placed.Handle = self.nextHandle_++;
    self.listed_.push_back(placed);
    *Handle = placed.Handle;
  }
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI AcpiBoard::PublishTables(EFI_ACPI_SUPPORT_PROTOCOL *This,
                                           EFI_ACPI_TABLE_VERSION Version) {
  Board &board = Board::Current();
  if (auto injected = board.Faults().Check("AcpiSupport.PublishTables"))
    return *injected;
  (void)Version;
  if (This == nullptr)
    return EFI_INVALID_PARAMETER;
  AcpiBoard &self = *reinterpret_cast<Instance *>(This)->Owner;
  self.PlaceRoot(board);
  board.Tables().InstallConfigurationTable(&gEfiAcpiTableGuid,
                                           board.Memory().ToPointer(self.rsdp_));
  return EFI_SUCCESS;
}

AcpiBytes AcpiBoard::CurrentDsdt(Board &board) const {
  const auto *bytes = static_cast<const std::uint8_t *>(board.Memory().ToPointer(dsdt_.Address));
  return AcpiBytes(bytes, bytes + dsdt_.Length);
}

std::optional<AmlNameData> AcpiBoard::ReadFlag(const AcpiBytes &dsdt) {
  return ReadAmlName(dsdt, "\\QESD");
}

void AcpiBoard::Report(Board &board, BootReport &report) {
  ReportSection &section = report.Section("acpi");
  const AcpiBytes now = CurrentDsdt(board);
  auto describe = [](const AcpiBytes &dsdt, nlohmann::json &value) {
    try {
      const auto flag = ReadFlag(dsdt);
      value = flag && flag->IsInteger ? nlohmann::json(flag->Integer) : nlohmann::json();
      return DescribeAmlName(flag);
    } catch (const AmlReadError &e) {
      value = nullptr;
      return std::string("unreadable (") + e.what() + ")";
    }
  };
  nlohmann::json before, after;
  const std::string beforeText = describe(pristine_, before);
  const std::string afterText = describe(now, after);

  nlohmann::json changed = nlohmann::json::array();
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i] != pristine_[i])
      changed.push_back({{"offset", i}, {"before", pristine_[i]}, {"after", now[i]}});
  nlohmann::json listed = nlohmann::json::array();
  for (const PlacedTable &t : listed_)
    listed.push_back(t.Signature);
  section.Data = {{"dsdt_address", dsdt_.Address},
                  {"dsdt_length", dsdt_.Length},
                  {"dsdt_source", dsdtSource_},
                  {"listed_tables", nlohmann::json(tables_)},
                  {"support_protocol_tables", listed},
                  {"qesd_before", before},
                  {"qesd_after", after},
                  {"qesd_before_text", beforeText},
                  {"qesd_after_text", afterText},
                  {"changed_bytes", changed},
                  {"checksum_valid", AcpiChecksumValid(now)}};
  // What an operating system's ACPI interpreter makes of both tables.
  if (evaluate_) {
    const std::string sta = tpmDevice_ + "._STA";
    const std::vector<std::string> paths = {sta, "\\QESD"};
    auto evaluate = [&](const AcpiBytes &table) {
      try {
        return EvaluateWithAcpiExec(table, paths);
      } catch (const std::exception &e) {
        AcpiExecResult failed;
        failed.Outcome = AcpiExecResult::State::NotLoaded;
        failed.Detail = e.what();
        return failed;
      }
    };
    const AcpiExecResult was = evaluate(pristine_);
    const AcpiExecResult is = evaluate(now);
    auto data = [&](const AcpiExecResult &r) {
      nlohmann::json value = {{"evaluated", r.Outcome == AcpiExecResult::State::Evaluated},
                              {"sta", DescribeAcpiExecValue(r, sta)},
                              {"qesd", DescribeAcpiExecValue(r, "\\QESD")},
                              {"checksum_fixed_on_copy", r.ChecksumFixed}};
      const AcpiExecValue *v = r.Find(sta);
      value["sta_value"] = v && v->Integer ? nlohmann::json(*v->Integer) : nlohmann::json();
      return value;
    };
    section.Data["acpiexec"] = {
        {"tpm_device", tpmDevice_}, {"before", data(was)}, {"after", data(is)}};
  }
}

} // namespace sim

namespace sim {
std::unique_ptr<Component> MakeAcpiBoard() {
  return std::make_unique<AcpiBoard>();
}
} // namespace sim
