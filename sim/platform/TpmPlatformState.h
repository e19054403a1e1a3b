// The platform component that publishes TpmPlatformStateProtocol (its record
// bytes from the board file) and, when asked, PpiSuccessHob in the first or a
// second HOB list. Its report shows the TPM platform driver's persistent
// state after the boot: "ZELTCGPPIVAR", "TCG", CMOS 0x6F and the "Setup"
// bytes the boot changed.
//
// Board file section "tpm_platform_state" (docs/board-file.md): present,
// first_byte, record, ppi_success_hob, hob_lists.
#pragma once
#include "sim/board/Component.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class TpmPlatformStateComponent : public Component {
public:
  static constexpr size_t kRecordSize = 64;

  std::string_view Name() const override { return "tpm_platform_state"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  // The record as the driver sees it (the interface's first byte skipped).
  std::vector<uint8_t> &Record() { return record_; }
  void SetPpiSuccessHob(std::string where) { successHob_ = std::move(where); }

private:
  bool present_ = true;
  uint8_t firstByte_ = 0;
  std::vector<uint8_t> record_;
  std::string successHob_ = "none"; // none, first, second, both
  unsigned hobLists_ = 1;
  std::vector<uint8_t> interface_; // installed: first byte + record
  std::optional<std::vector<uint8_t>> setupAtPowerOn_;
};

} // namespace sim
