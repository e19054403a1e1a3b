// The chipset and the devices around the hot keys: the EC, the Super-I/O, PCI
// configuration, the chipset and EC-side ports and the APM port. The chipset
// raises the SMIs; whoever serves them (the SMM core) connects itself as the
// board's firmware, which also runs the S3 resume path. Its keys are "ec" and
// "chipset" of the board file's "smm" section, where the hot-key devices are
// described (docs/board-file.md).
//
// Board actions for tests and platsim: Ec().Press()/Release()/Hold() raise
// GPI 6 through the chipset, RaiseGpi(1) is the power button,
// SuspendResume() an S3 cycle.
#pragma once
#include "sim/board/Component.h"
#include "sim/devices/ApmPort.h"
#include "sim/devices/EmbeddedController.h"
#include "sim/devices/PciConfig.h"
#include "sim/devices/PlatformPorts.h"
#include "sim/devices/S3Result.h"
#include "sim/devices/SuperIo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sim {

class Board;

class ChipsetComponent : public Component {
public:
  struct Options {
    EmbeddedController::Options Ec;
    PlatformPorts::Defaults Ports;
    uint32_t GpiRoute = 0x00001000;
  };
  // What the firmware does for the chipset: serve its software SMIs and GPI
  // SMIs, and on S3 resume replay the boot script onto the devices (returns
  // the number of entries replayed).
  struct Firmware {
    std::function<void(uint8_t value)> SoftwareSmi;
    std::function<void(unsigned gpi)> GpiSmi;
    std::function<size_t(IoSpace &io)> Resume;
  };

  ChipsetComponent();
  ~ChipsetComponent() override;

  std::string_view Name() const override { return "smm"; }
  void Configure(ConfigSection &section) override;
  void PowerOn(Board &board) override;
  void Report(Board &board, BootReport &report) override;

  // Once per board, before the first boot.
  void Connect(Firmware firmware) { firmware_ = std::move(firmware); }

  // ---- Per boot ----------------------------------------------------------
  EmbeddedController &Ec();
  SuperIo &Sio();
  PciConfig &Pci();
  PlatformPorts &Ports();
  // SMIs raised this boot.
  unsigned SmiCount() const;

  // Raises a GPI through the chipset's routing: "smi", "sci" or "ignored".
  std::string RaiseGpi(unsigned gpi);
  // Suspends to S3 (the devices lose what a real suspend loses) and resumes
  // (the firmware's resume path replays the boot script).
  S3Result SuspendResume();
  // Every compared register: EC RAM of page 6, Super-I/O, the LPC bridge's
  // GPI routing, the chipset and EC-side ports.
  RegisterSnapshot Snapshot() const;

private:
  struct PerBoot;
  void Smi(const std::function<void()> &dispatch);

  Options options_;
  Firmware firmware_;
  std::unique_ptr<PerBoot> boot_;
};

std::unique_ptr<Component> MakeChipset();

} // namespace sim
