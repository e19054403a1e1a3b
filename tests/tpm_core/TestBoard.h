// A board for the TPM platform driver's tests: the reference board file with
// a JSON merge patch, in a fresh state directory removed afterwards. Boots
// stop after the phases the driver's start-up and the TCG core need, unless
// the patch names others.
#pragma once
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"
#include "common/TestBoard.h"
#include "sim/board/Board.h"
#include "sim/tcg/TcgCore.h"
#include "sim/tpm/TpmComponent.h"
#include "tpm_platform/core/Globals.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace tpmtest {

using testboard::Bytes;
using testboard::json;

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

// Power-on and the firmware services with the given variables: no TPM, the
// driver not loaded (tests call its operations directly).
inline json ServicesOnly(json initial) {
  return {{"boot", {{"phases", {"power-on", "dxe-ready"}}}},
          {"drivers", {{"tpm_platform", {{"load", false}}}}},
          {"tpm", {{"present", false}}},
          {"variables", {{"initial", std::move(initial)}}}};
}

class TestBoard : public testboard::TestBoard {
public:
  explicit TestBoard(const json &patch = {})
      : testboard::TestBoard(testboard::ReferenceWith({BasePatch(), patch}),
                             testboard::FreshStateDirectory("tpmcore-test"), true) {}

  std::optional<Bytes> Setup() const { return Var(kSetupVariableName, gSetupVariableGuid); }
  sim::tpm::TpmComponent &Tpm() { return Part<sim::tpm::TpmComponent>(); }
  sim::TcgCoreComponent &TcgCore() { return Part<sim::TcgCoreComponent>(); }

  // The driver's globals as its entry point leaves them, for calling driver
  // operations directly after a boot that did not run the entry point.
  void BindDriver() {
    TpmPlatform::gImageHandle = nullptr;
    TpmPlatform::gST = Board().SystemTable();
    TpmPlatform::gBS = Board().BootServices();
    TpmPlatform::gRT = Board().RuntimeServices();
  }

  // Writes counted by name since power-on.
  size_t Writes(const CHAR16 *name) {
    size_t n = 0;
    for (const auto &w : Board().Variables().Writes())
      n += w.Name == name;
    return n;
  }
};

} // namespace tpmtest
