// The board's TPM: the libtpms chip with its NV state in the state directory,
// the TPM interface registers (vendor identifier at 0xFED40F00), TPM_Startup
// by the earlier boot phase, and EFI_TCG_PROTOCOL with this boot's event log.
//
// Board file section "tpm" (docs/board-file.md): present, vendor_id, enabled,
// activated, owned, physical_presence_locked, vendor_state_fails,
// event_log_size.
#pragma once
#include "sim/board/Component.h"
#include "sim/tcg/TcgProtocol.h"
#include "sim/tpm/Tpm12.h"

#include <memory>

namespace sim::tpm {

// The identifier of the maker the chip reports as its manufacturer.
constexpr uint16_t kDefaultVendorId = 0x1014;
constexpr uint64_t kTpmRegisterBase = 0xFED40000;
constexpr uint64_t kTpmRegisterSize = 0x5000;
constexpr uint64_t kDidVidOffset = 0xF00;

class TpmComponent : public Component {
public:
  std::string_view Name() const override { return "tpm"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void LoadState(const StateStore &state) override;
  void SaveState(StateStore &state) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  bool Present() const { return present_; }
  uint16_t VendorId() const { return vendorId_; }
  // The chip, powered while the board is on (throws when the board has none).
  Tpm12 &Chip();
  // This boot's TCG protocol; null when the board has no TPM or before power-on.
  tcg::TcgProtocol *Tcg() { return tcg_.get(); }

private:
  NvState InitialState() const;
  void InstallTcgProtocol(Board &board);

  bool present_ = true;
  uint16_t vendorId_ = kDefaultVendorId;
  bool enabled_ = true;
  bool activated_ = true;
  bool owned_ = false;
  bool lockPresence_ = false;
  bool vendorStateFails_ = false;
  size_t logSize_ = tcg::EventLog::kDefaultCapacity;

  std::unique_ptr<Tpm12> chip_;
  std::unique_ptr<tcg::TcgProtocol> tcg_;
};

} // namespace sim::tpm
