// A board for the TPM platform driver's tests: the reference board file with
// a JSON merge patch, in a fresh state directory removed afterwards. Boots
// stop after the phases the driver's start-up and the TCG core need, unless
// the patch names others.
#pragma once
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"
#include "sim/board/Board.h"
#include "sim/tcg/TcgCore.h"
#include "sim/tpm/TpmComponent.h"
#include "tpm_platform/core/Globals.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace tpmtest {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

inline json StartupPhases() {
  return json::array(
      {"power-on", "early", "dxe-ready", "board-protocols", "load-tpm-platform", "tcg-core"});
}

// The reference board's presets are left out: each test states its own.
inline json BasePatch() {
  return {{"boot", {{"phases", StartupPhases()}}},
          {"drivers", {{"button_smm", {{"load", false}}}}},
          {"variables", {{"initial", json::array()}}},
          {"cmos", {{"initial", nullptr}}},
          {"tpm_platform_state", {{"record", nullptr}}}};
}

// Variable presets for the board file.
inline json Variable(const char *name, const char *guid, const Bytes &data,
                     unsigned attributes = 7) {
  return {{"name", name}, {"guid", guid}, {"attributes", attributes}, {"data", data}};
}
inline constexpr const char *kPpiGuid = "A8A2093B-FEFA-43C1-8E62-CE526847265E";
inline constexpr const char *kTcgGuid = "962E8146-E513-4F64-BA77-67101B9929DA";
inline constexpr const char *kMfgGuid = "707C9176-A4C1-4E27-851D-1C37B7CA73C8";
inline constexpr const char *kSetupGuid = "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9";
inline constexpr const char *kLastBootFailedGuid = "B540A530-6978-4DA7-91CB-7207D764D262";

// A "Setup" of 928 bytes: a pattern in every byte, then the given ones.
inline Bytes SetupBytes(std::initializer_list<std::pair<size_t, uint8_t>> set = {},
                        size_t size = kSetupDataSize) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i)
    b[i] = uint8_t(0x40 + i % 61);
  for (auto [offset, value] : set)
    b[offset] = value;
  return b;
}

class TestBoard {
public:
  explicit TestBoard(const json &patch = {}) {
    static std::atomic<unsigned> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("tpmcore-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    json document = json::parse(sim::kReferenceBoardJson);
    document.merge_patch(BasePatch());
    document.merge_patch(patch);
    board_ =
        std::make_unique<sim::Board>(sim::BoardConfig::FromText(document.dump(), "test"), dir_);
  }
  ~TestBoard() {
    board_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  sim::Board &operator*() { return *board_; }
  sim::Board *operator->() { return board_.get(); }

  std::optional<Bytes> Var(const CHAR16 *name, const EFI_GUID &guid) const {
    const auto *v = board_->Variables().Find(name, guid);
    return v ? std::optional(v->Data) : std::nullopt;
  }
  std::optional<Bytes> Setup() const { return Var(kSetupVariableName, gSetupVariableGuid); }
  sim::tpm::TpmComponent &Tpm() { return *board_->Find<sim::tpm::TpmComponent>(); }
  sim::TcgCoreComponent &TcgCore() { return *board_->Find<sim::TcgCoreComponent>(); }

  // The driver's globals as its entry point leaves them, for calling driver
  // operations directly after a boot that did not run the entry point.
  void BindDriver() {
    TpmPlatform::gImageHandle = nullptr;
    TpmPlatform::gST = board_->SystemTable();
    TpmPlatform::gBS = board_->BootServices();
    TpmPlatform::gRT = board_->RuntimeServices();
  }

  // Writes counted by name since power-on.
  size_t Writes(const CHAR16 *name) const {
    size_t n = 0;
    for (const auto &w : board_->Variables().Writes())
      n += w.Name == name;
    return n;
  }

private:
  std::filesystem::path dir_;
  std::unique_ptr<sim::Board> board_;
};

} // namespace tpmtest
