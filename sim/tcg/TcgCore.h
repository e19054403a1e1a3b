// The platform's TCG core, as far as the TPM platform driver sees it: after
// the driver's start-up it finds PlatformHooksProtocol and calls the hooks,
// in the order the board file gives ("tcg_core.calls"), each at the boot phase
// named after an '@' (default "tcg-core"). Its report shows the hook table as
// installed and the result of every call.
#pragma once
#include "Platform/PlatformHooksProtocol.h"
#include "sim/board/Component.h"

#include <array>
#include <string>
#include <vector>

namespace sim {

// The hook table's slots by name, in slot order.
inline constexpr std::array<const char *, kPlatformHookCount> kPlatformHookNames = {
    "MicrocodeHook",   "OptionRomHook",      "SyncTpmEnableHook",  "ProcessPpiRequestHook",
    "ReadyToBootHook", "GetPlatformOptions", "ZeroPpiVariableHook"};

class TcgCoreComponent : public Component {
public:
  struct Call {
    size_t Slot;
    std::string Phase;
  };
  struct Result {
    size_t Slot;
    std::string Phase;
    bool Found; // the hook table was installed when the call was due
    EFI_STATUS Status;
    std::vector<uint8_t> Options; // GetPlatformOptions' four bytes
  };

  std::string_view Name() const override { return "tcg_core"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  const std::vector<Call> &Calls() const { return calls_; }
  const std::vector<Result> &Results() const { return results_; }

  // The slot of a hook name; throws SimulationError for an unknown one.
  static size_t SlotOf(std::string_view name);

private:
  void CallHook(Board &board, const Call &call);

  std::vector<Call> calls_;
  std::vector<Result> results_;
};

} // namespace sim
