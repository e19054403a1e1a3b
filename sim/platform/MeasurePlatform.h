// The platform components around the measurements (see MeasurePlatform.cpp).
// Board-file section "platform".
#pragma once
#include "Platform/MeasureOverrideProtocols.h"
#include "sim/board/Component.h"

#include <array>
#include <optional>
#include <vector>

namespace sim {

class MeasurePlatform : public Component {
public:
  MeasurePlatform();
  ~MeasurePlatform() override;

  std::string_view Name() const override { return "platform"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  // Entries of the override protocols land here: 0 microcode, 1 option ROM,
  // 2 ready-to-boot.
  EFI_STATUS OverrideCalled(int kind);
  unsigned OverrideCalls(int kind) const { return overrideCalls_[kind]; }
  EFI_PHYSICAL_ADDRESS PlatformTableAddress() const { return tableAddress_; }

private:
  void AddHobs(Board &board);
  void Install(Board &board);

  bool tablePresent_ = true;
  uint32_t tableLength_ = 0x40;
  uint32_t lengthField_ = 0x40;
  std::optional<uint32_t> wakeSource_;
  bool tpmDevice_ = true;
  std::array<bool, 3> overrides_{};
  EFI_STATUS overrideStatus_ = EFI_SUCCESS;
  std::array<unsigned, 3> overrideCalls_{};
  std::array<MeasureOverrideProtocol, 3> overrideInterfaces_{};
  std::vector<uint8_t> interface_;
  uint64_t tpmDeviceInterface_ = 0;
  EFI_PHYSICAL_ADDRESS tableAddress_ = 0;
};

} // namespace sim
