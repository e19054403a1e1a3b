// The PCI bus: every function of the board file gets its PCI I/O protocol,
// most during PCI enumeration (after the TCG core armed the option-ROM
// measurement), those marked "before_hook" earlier; the compatibility module's
// Legacy BIOS protocol answers CheckPciRom per device.
#include "Uefi/DevicePath.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/pci/LegacyBios.h"
#include "sim/pci/PciIoDevice.h"
#include "sim/report/Report.h"

#include <cstdio>
#include <memory>

namespace sim {
namespace {

class PciBus : public Component {
public:
  std::string_view Name() const override { return "pci"; }

  void Configure(ConfigSection &s) override {
    legacyBios_ = s.Bool("legacy_bios", true);
    for (ConfigSection *d : s.Objects("devices")) {
      pci::PciFunctionConfig c;
      c.Name = d->String("name", "device");
      c.Bus = static_cast<uint8_t>(d->Integer("bus", 0, 0, 255));
      c.Device = static_cast<uint8_t>(d->Integer("device", 0, 0, 31));
      c.Function = static_cast<uint8_t>(d->Integer("function", 0, 0, 7));
      const std::string rom = d->Choice("rom", "none", {"none", "efi", "legacy", "unsigned"});
      const size_t size = static_cast<size_t>(d->Integer("rom_size", 0x4000, 512, 0x100000));
      const uint16_t vendor = static_cast<uint16_t>(d->Integer("vendor", 0x8086, 0, 0xFFFF));
      const uint16_t id = static_cast<uint16_t>(d->Integer("device_id", 0x1234, 0, 0xFFFF));
      const uint8_t fill = static_cast<uint8_t>(d->Integer("rom_fill", 0xC3, 0, 255));
      if (rom == "efi") {
        c.Rom = pci::MakeOptionRom(vendor, id, 3, size, fill);
      } else if (rom == "unsigned") {
        c.Rom = pci::MakeOptionRom(vendor, id, 3, size, fill);
        c.Rom[0] = 0x00; // no 55 AA: not an option ROM
        c.Rom[1] = 0x00;
      } else if (rom == "legacy") {
        c.LegacyRom = pci::MakeOptionRom(vendor, id, 0, size, fill);
      }
      c.LegacyFlags = d->Integer("legacy_flags", rom == "legacy" ? 2 : 0, 0, 0xFF);
      c.BeforeHook = d->Bool("before_hook", false);
      c.LocationFails = d->Bool("location_fails", false);
      configs_.push_back(std::move(c));
    }
  }

  void AttachPhases(BootSequence &sequence) override {
    sequence.Attach("board-protocols", "pci", [this](Board &b) { Enumerate(b, true); });
    sequence.Attach("pci-enumeration", "pci", [this](Board &b) { Enumerate(b, false); });
  }

  void PowerOn(Board &) override {
    devices_.clear();
    paths_.clear();
    legacy_.reset();
  }

  void Report(Board &, BootReport &report) override {
    auto &section = report.Section("pci").Data;
    section = nlohmann::json::array();
    for (const auto &d : devices_) {
      const auto &c = d->Config();
      section.push_back({{"bus", c.Bus},
                         {"device", c.Device},
                         {"function", c.Function},
                         {"name", c.Name},
                         {"pfa", d->Pfa()},
                         {"rom", !c.Rom.empty()         ? "pci-io"
                                 : !c.LegacyRom.empty() ? "legacy"
                                                        : "none"},
                         {"before_hooks", c.BeforeHook}});
    }
  }

private:
  // PciRoot(0)/Pci(device, function)
  static std::vector<uint8_t> DevicePath(const pci::PciFunctionConfig &c) {
    return {0x02, 0x01, 12, 0, 0xD0,       0x41,     0x03, 0x0A, 0, 0, 0, 0, // ACPI PNP0A03
            0x01, 0x01, 6,  0, c.Function, c.Device,                         // PCI
            0x7F, 0xFF, 4,  0};
  }

  void Enumerate(Board &board, bool early) {
    EFI_BOOT_SERVICES *bs = board.BootServices();
    if (early && legacyBios_) {
      legacy_ = std::make_unique<pci::LegacyBios>();
      EFI_HANDLE handle = nullptr;
      bs->InstallProtocolInterface(&handle, &gEfiLegacyBiosProtocolGuid, EFI_NATIVE_INTERFACE,
                                   legacy_->Protocol());
    }
    for (const auto &c : configs_) {
      if (c.BeforeHook != early)
        continue;
      auto device = std::make_unique<pci::PciIoDevice>(c);
      // The device path goes on first, as the PCI bus driver does: the handle
      // exists, and the Legacy BIOS knows it, before the PCI I/O install
      // signals the notification.
      paths_.push_back(DevicePath(c));
      EFI_HANDLE handle = nullptr;
      if (EFI_ERROR(bs->InstallProtocolInterface(&handle, &gEfiDevicePathProtocolGuid,
                                                 EFI_NATIVE_INTERFACE, paths_.back().data())))
        throw SimulationError("pci: device path install failed for " + c.Name);
      if (legacy_)
        legacy_->SetRom(handle, &device->Config().LegacyRom, c.LegacyFlags);
      if (EFI_ERROR(bs->InstallProtocolInterface(&handle, &gEfiPciIoProtocolGuid,
                                                 EFI_NATIVE_INTERFACE, device->Protocol())))
        throw SimulationError("pci: PCI I/O install failed for " + c.Name);
      devices_.push_back(std::move(device));
    }
  }

  bool legacyBios_ = true;
  std::vector<pci::PciFunctionConfig> configs_;
  std::vector<std::unique_ptr<pci::PciIoDevice>> devices_;
  std::vector<std::vector<uint8_t>> paths_;
  std::unique_ptr<pci::LegacyBios> legacy_;
};

} // namespace

std::unique_ptr<Component> MakePciBus() {
  return std::make_unique<PciBus>();
}

} // namespace sim
