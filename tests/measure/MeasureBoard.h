// The measurement tests' board: the shared test board, and the patch every
// measurement test starts from.
#pragma once
#include "common/ExpectedEvents.h"
#include "common/TestBoard.h"

namespace measure_test {

using namespace testboard;

// The records of one event type, in log order.
inline std::vector<sim::tcg::EventRecord> OfType(const std::vector<sim::tcg::EventRecord> &all,
                                                 uint32_t type) {
  std::vector<sim::tcg::EventRecord> out;
  for (const auto &r : all)
    if (r.Type == type)
      out.push_back(r);
  return out;
}

// The TCG core calls the three measurement hooks, "Setup" asks for Secure
// Boot measurements, a PCI bus with ROMs of every kind, three firmware
// volumes.
inline json MeasurementBoard() {
  return json::parse(R"({
    "tcg_core": { "calls": ["SyncTpmEnableHook", "GetPlatformOptions", "MicrocodeHook",
                            "OptionRomHook", "ReadyToBootHook"] },
    "variables": { "initial": [
      { "name": "Setup", "guid": "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9", "size": 928,
        "set": { "810": 1 } } ] },
    "firmware_volumes": { "volumes": 3, "microcode": "volume", "microcode_volume": 0 },
    "pci": { "legacy_bios": true, "devices": [
      { "name": "gpu", "bus": 2, "device": 0, "function": 0, "rom": "efi" },
      { "name": "lpc", "bus": 0, "device": 31, "function": 3, "rom": "efi", "rom_fill": 17 },
      { "name": "nic", "bus": 3, "device": 0, "function": 0, "rom": "legacy" },
      { "name": "storage", "bus": 4, "device": 0, "function": 0, "rom": "legacy",
        "legacy_flags": 1 },
      { "name": "plain", "bus": 5, "device": 0, "function": 0, "rom": "unsigned" },
      { "name": "early", "bus": 6, "device": 0, "function": 0, "rom": "efi",
        "before_hook": true } ] },
    "platform": { "wake_source": 3 },
    "boot_manager": { "ready_to_boot_signals": 1 }
  })");
}

} // namespace measure_test
