#include "sim/devices/ChipsetComponent.h"

#include "sim/board/Board.h"
#include "sim/core/Errors.h"
#include "sim/core/Text.h"
#include "sim/io/AccessTrace.h"
#include "sim/io/IoSpace.h"
#include "sim/memory/MemoryMap.h"

namespace sim {

struct ChipsetComponent::PerBoot {
  explicit PerBoot(Board &owner) : Owner(owner) {}
  Board &Owner;
  std::unique_ptr<EmbeddedController> Ec;
  std::unique_ptr<SuperIo> Sio;
  std::unique_ptr<PciConfig> Pci;
  std::unique_ptr<PlatformPorts> Ports;
  ApmPort Apm;
  std::vector<std::string> Events; // board actions, for the report
  std::vector<S3Result> S3;
  unsigned Smis = 0;
};

ChipsetComponent::ChipsetComponent() = default;
ChipsetComponent::~ChipsetComponent() = default;

void ChipsetComponent::Configure(ConfigSection &section) {
  auto &ec = section.Object("ec");
  options_.Ec.PageRestore = uint8_t(ec.Integer("page_restore", options_.Ec.PageRestore, 0, 255));
  std::string busy = ec.Choice("busy", "none", {"none", "once", "always"});
  options_.Ec.BusyMode = busy == "once"     ? EmbeddedController::Busy::Once
                         : busy == "always" ? EmbeddedController::Busy::Always
                                            : EmbeddedController::Busy::None;
  options_.Ec.BusyAddress = uint16_t(ec.Integer("busy_address", options_.Ec.BusyAddress, 0, 0xFFF));
  options_.Ec.TakeKeyCodes = ec.Bool("take_key_codes", options_.Ec.TakeKeyCodes);
  options_.Ec.InitialRam[EmbeddedController::kBacklightLevel] = uint8_t(ec.Integer(
      "backlight_level", options_.Ec.InitialRam[EmbeddedController::kBacklightLevel], 0, 255));

  auto &chipset = section.Object("chipset");
  options_.Ports.Pm1Control = chipset.Bool("acpi_mode", true) ? 0x0001 : 0x0000;
  options_.Ports.GpiSmiEnable =
      uint16_t(chipset.Integer("gpi_smi_enable", options_.Ports.GpiSmiEnable, 0, 0xFFFF));
  options_.GpiRoute = uint32_t(chipset.Integer("gpi_route", options_.GpiRoute, 0, 0xFFFFFFFF));
  options_.Ports.Output = uint8_t(chipset.Integer("output", options_.Ports.Output, 0, 255));
}

void ChipsetComponent::PowerOn(Board &board) {
  boot_ = std::make_unique<PerBoot>(board);
  PerBoot &b = *boot_;
  b.Ec = std::make_unique<EmbeddedController>(options_.Ec);
  b.Sio = std::make_unique<SuperIo>();
  b.Pci = std::make_unique<PciConfig>();
  b.Pci->SetLpcGpiRouteDefault(options_.GpiRoute);
  b.Pci->Reset();
  b.Ports = std::make_unique<PlatformPorts>(*b.Pci, options_.Ports);

  IoSpace &io = board.Io();
  b.Ec->Attach(io);
  b.Sio->Attach(io);
  b.Pci->Attach(io, board.Memory());
  b.Ports->Attach(io);
  b.Apm.Attach(io);

  b.Ec->RaiseGpi = [this](unsigned gpi) { RaiseGpi(gpi); };
  b.Apm.OnSmi = [this](uint8_t value) {
    Smi([&] {
      if (firmware_.SoftwareSmi)
        firmware_.SoftwareSmi(value);
    });
  };
  b.Ports->OnSmi = [this](unsigned gpi) {
    Smi([&] {
      if (firmware_.GpiSmi)
        firmware_.GpiSmi(gpi);
    });
  };
}

// The EC takes the key codes once the SMI has released the window, also
// after a handler that halted the processor.
void ChipsetComponent::Smi(const std::function<void()> &dispatch) {
  PerBoot &b = *boot_;
  ++b.Smis;
  try {
    dispatch();
  } catch (const ProcessorHalted &) {
    b.Ec->ServiceKeySlots();
    throw;
  }
  b.Ec->ServiceKeySlots();
}

EmbeddedController &ChipsetComponent::Ec() {
  return *boot_->Ec;
}
SuperIo &ChipsetComponent::Sio() {
  return *boot_->Sio;
}
PciConfig &ChipsetComponent::Pci() {
  return *boot_->Pci;
}
PlatformPorts &ChipsetComponent::Ports() {
  return *boot_->Ports;
}
unsigned ChipsetComponent::SmiCount() const {
  return boot_ ? boot_->Smis : 0;
}

std::string ChipsetComponent::RaiseGpi(unsigned gpi) {
  boot_->Events.push_back("GPI " + std::to_string(gpi) + " raised");
  size_t index = boot_->Events.size() - 1;
  std::string outcome;
  try {
    outcome = boot_->Ports->RaiseGpi(gpi);
  } catch (const ProcessorHalted &) {
    boot_->Events[index] += ": SMI; the handler halted the processor";
    throw;
  }
  boot_->Events[index] += outcome == "smi"   ? ": SMI"
                          : outcome == "sci" ? ": routed to SCI"
                                             : ": not routed to SMI, ignored";
  return outcome;
}

RegisterSnapshot ChipsetComponent::Snapshot() const {
  RegisterSnapshot registers;
  const PerBoot &b = *boot_;
  for (uint16_t address = 0x600; address < 0x6FF; ++address)
    registers["ec." + HexNumber(address, 3)] = b.Ec->Ram(address);
  for (auto &[name, value] : b.Sio->Snapshot())
    registers[name] = value;
  registers["pci.00:1F.0.B8"] = b.Pci->LpcGpiRoute();
  for (auto &[name, value] : b.Ports->Snapshot())
    registers[name] = value;
  return registers;
}

S3Result ChipsetComponent::SuspendResume() {
  PerBoot &b = *boot_;
  S3Result result;
  result.BeforeSuspend = Snapshot();
  // What a real suspend loses: the Super-I/O, the chipset's GPIO, SMI enable
  // and PCI configuration, and the host's button configuration in the EC.
  b.Ec->Suspend();
  b.Sio->Reset();
  b.Pci->Reset();
  b.Ports->ResetChipset();
  result.AfterSuspend = Snapshot();
  {
    AccessTrace::Scope scope(b.Owner.Trace(), "s3-resume");
    if (firmware_.Resume)
      result.Replayed = firmware_.Resume(b.Owner.Io());
  }
  result.AfterResume = Snapshot();
  b.S3.push_back(result);
  return result;
}

void ChipsetComponent::Report(Board &board, BootReport &report) {
  (void)board;
  if (!boot_)
    return;
  PerBoot &b = *boot_;
  if (!b.Events.empty())
    report.Section("smm_events").Data = b.Events;
  for (const S3Result &s3 : b.S3) {
    nlohmann::json &section = report.Section("s3").Data;
    if (!section.is_array())
      section = nlohmann::json::array();
    std::vector<std::string> lost = s3.Lost(), differences = s3.Differences();
    nlohmann::json registers = nlohmann::json::array();
    for (const std::string &name : lost)
      registers.push_back({{"name", name},
                           {"before_suspend", ValueIn(s3.BeforeSuspend, name)},
                           {"after_suspend", ValueIn(s3.AfterSuspend, name)},
                           {"after_resume", ValueIn(s3.AfterResume, name)}});
    if (!differences.empty())
      report.AddError("S3 resume left " + std::to_string(differences.size()) +
                      " registers different from before the suspend");
    section.push_back({{"lost", lost},
                       {"different", differences},
                       {"replayed", s3.Replayed},
                       {"registers", registers}});
  }

  report.Section("hotkey_devices").Data = {{"backlight_level", b.Ec->BacklightLevel()},
                                           {"output", b.Ports->Output()},
                                           {"acpi_mode", b.Ports->AcpiMode()},
                                           {"scis", b.Ports->SciCount()},
                                           {"keyboard", b.Ec->KeyboardStream()},
                                           {"power_off", b.Ports->PowerOffRequested()},
                                           {"smis", b.Smis}};
}

std::unique_ptr<Component> MakeChipset() {
  return std::make_unique<ChipsetComponent>();
}

} // namespace sim
