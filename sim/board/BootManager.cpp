// The boot manager: signals ready-to-boot (once per boot option it tries and
// returns from) and ends boot services. Board file section "boot_manager".
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Events.h"

namespace sim {

namespace {

class BootManager : public Component {
public:
  std::string_view Name() const override { return "boot_manager"; }

  void Configure(ConfigSection &section) override {
    readyToBootSignals_ = unsigned(section.Integer("ready_to_boot_signals", 1, 0, 16));
    exitBootServices_ = section.Bool("exit_boot_services", true);
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("ready-to-boot", "boot_manager", [this](Board &board) {
      for (unsigned i = 0; i < readyToBootSignals_; ++i)
        board.Events().SignalGroup(gEfiEventReadyToBootGuid);
    });
    sequence.Attach("exit-boot-services", "boot_manager", [this](Board &board) {
      if (exitBootServices_)
        board.ExitBootServices();
    });
  }

private:
  unsigned readyToBootSignals_ = 1;
  bool exitBootServices_ = true;
};

} // namespace

std::unique_ptr<Component> MakeBootManager() {
  return std::make_unique<BootManager>();
}

} // namespace sim
