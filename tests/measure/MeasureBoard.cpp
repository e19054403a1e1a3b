#include "measure/MeasureBoard.h"

#include "sim/tpm/TpmComponent.h"

#include <stdexcept>
#include <unistd.h>

namespace measure_test {

TestBoard::TestBoard(const nlohmann::json &patch) {
  char dir[] = "/tmp/measure-test-XXXXXX";
  if (!mkdtemp(dir))
    throw std::runtime_error("mkdtemp failed");
  dir_ = dir;
  nlohmann::json doc = nlohmann::json::parse(sim::kReferenceBoardJson);
  doc.merge_patch(patch);
  board_ = std::make_unique<sim::Board>(sim::BoardConfig::FromText(doc.dump(), "test"), dir_);
}

TestBoard::~TestBoard() {
  board_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

sim::tcg::TcgProtocol &TestBoard::Tcg() {
  auto *tpm = board_->Find<sim::tpm::TpmComponent>();
  if (!tpm || !tpm->Tcg())
    throw std::runtime_error("the board has no TCG protocol");
  return *tpm->Tcg();
}

std::vector<uint32_t> TestBoard::Ordinals() {
  std::vector<uint32_t> out;
  for (const auto &e : Tcg().Exchanges())
    if (e.Request.size() >= 10)
      out.push_back(uint32_t(e.Request[6]) << 24 | uint32_t(e.Request[7]) << 16 |
                    uint32_t(e.Request[8]) << 8 | e.Request[9]);
  return out;
}

std::vector<uint8_t> TestBoard::Variable(std::u16string_view name, const EFI_GUID &guid) {
  const auto *v = board_->Variables().Find(name, guid);
  return v ? v->Data : std::vector<uint8_t>{};
}

nlohmann::json MeasurementBoard() {
  return nlohmann::json::parse(R"({
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
