// The board's ACPI tables and the Framework ACPI support protocol over them.
//
// Board file section "acpi":
//   "dsdt":        "reference" (built in) or the path of an AML file, relative
//                  to the board file;
//   "tables":      the signatures GetAcpiTable lists, in index order
//                  (default APIC, HPET, MCFG, FACP, FACS, DSDT; [] lists none);
//   "fadt_dsdt":   the FADT's 32-bit DSDT field (default: the DSDT's address);
//   "fadt_x_dsdt": its 64-bit X_DSDT field (default: the DSDT's address);
//   "protocol":    false leaves the ACPI support protocol out;
//   "region":      the memory region the tables are placed in (default "low").
//   "tpm_device":  the TPM device's path, whose _STA an ACPI interpreter
//                  evaluates (default "\\_SB.PCI0.LPCB.TPM", the reference DSDT's).
// Every boot builds the tables afresh from the pristine DSDT, so the report
// compares QESD before and after the drivers ran.
#pragma once
#include "Framework/AcpiSupport.h"
#include "sim/acpi/AcpiTables.h"
#include "sim/acpi/AmlReader.h"
#include "sim/board/Component.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

class AcpiBoard : public Component {
public:
  struct PlacedTable {
    std::string Signature;
    EFI_PHYSICAL_ADDRESS Address;
    std::uint32_t Length;
    UINTN Handle; // the protocol's handle of a listed table
  };

  AcpiBoard();

  std::string_view Name() const override { return "acpi"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  // This boot's tables (between PowerOn and the next PowerOn).
  EFI_PHYSICAL_ADDRESS DsdtAddress() const { return dsdt_.Address; }
  EFI_PHYSICAL_ADDRESS RsdpAddress() const { return rsdp_; }
  const std::vector<PlacedTable> &Listed() const { return listed_; }
  const AcpiBytes &PristineDsdt() const { return pristine_; }
  AcpiBytes CurrentDsdt(Board &board) const;
  EFI_ACPI_SUPPORT_PROTOCOL *Protocol() { return &instance_.Protocol; }

  // The board's own reading of \QESD in a DSDT.
  static std::optional<AmlNameData> ReadFlag(const AcpiBytes &dsdt);

  // When on, the report adds acpiexec's evaluation of the TPM device's _STA
  // and of QESD in the DSDT before and after start-up (off by default: each
  // evaluation runs a process).
  void SetInterpreterEvaluation(bool on) { evaluate_ = on; }

private:
  struct Instance {
    EFI_ACPI_SUPPORT_PROTOCOL Protocol;
    AcpiBoard *Owner;
  };
  static EFI_STATUS EFIAPI GetAcpiTable(EFI_ACPI_SUPPORT_PROTOCOL *This, INTN Index, VOID **Table,
                                        EFI_ACPI_TABLE_VERSION *Version, UINTN *Handle);
  static EFI_STATUS EFIAPI SetAcpiTable(EFI_ACPI_SUPPORT_PROTOCOL *This, const VOID *Table,
                                        BOOLEAN Checksum, EFI_ACPI_TABLE_VERSION Version,
                                        UINTN *Handle);
  static EFI_STATUS EFIAPI PublishTables(EFI_ACPI_SUPPORT_PROTOCOL *This,
                                         EFI_ACPI_TABLE_VERSION Version);

  PlacedTable Place(Board &board, const std::string &signature, const AcpiBytes &bytes,
                    std::uint64_t alignment = 16);
  void PlaceRoot(Board &board);
  void InstallProtocol(Board &board);

  // Configuration.
  AcpiBytes configuredDsdt_;
  std::string dsdtSource_ = "reference";
  std::vector<std::string> tables_;
  std::optional<std::uint32_t> fadtDsdt_;
  std::optional<std::uint64_t> fadtXDsdt_;
  bool installProtocol_ = true;
  std::string region_ = "low";
  std::string tpmDevice_ = "\\_SB.PCI0.LPCB.TPM";
  bool evaluate_ = false;

  // This boot.
  Instance instance_;
  AcpiBytes pristine_;
  PlacedTable dsdt_{};
  EFI_PHYSICAL_ADDRESS rsdp_ = 0;
  std::vector<PlacedTable> listed_;
  UINTN nextHandle_ = 1;
};

} // namespace sim
