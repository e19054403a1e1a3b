// A board for the physical-presence tests: the reference board file with a
// JSON merge patch, in a fresh state directory removed afterwards. Boots run
// up to the console connection (ready-to-boot and later are left out) unless
// the patch names other phases.
#pragma once
#include "Platform/QrbSetupVariable.h"
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"
#include "common/TestBoard.h"
#include "sim/board/Board.h"
#include "sim/console/ConsoleComponent.h"
#include "sim/hii/ImageStrings.h"
#include "sim/hii/StringDatabase.h"
#include "sim/ppi/PpiBoardComponent.h"
#include "sim/tpm/TpmComponent.h"
#include "tpm_platform/core/Globals.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ppitest {

using testboard::Bytes;
using testboard::json;

inline json PhasesTo(const char *last = "console-connect") {
  json phases = json::array();
  for (const char *p :
       {"power-on", "early", "dxe-ready", "board-protocols", "load-tpm-platform", "tcg-core",
        "load-button-smm", "pci-enumeration", "console-connect", "ready-to-boot"}) {
    phases.push_back(p);
    if (std::string(p) == last)
      break;
  }
  return phases;
}

// Without a TPM a boot takes milliseconds; tests that need the chip ask for
// it ("tpm": {"present": true}).
inline json BasePatch() {
  return {{"boot", {{"phases", PhasesTo()}}},
          {"drivers", {{"button_smm", {{"load", false}}}}},
          {"tpm", {{"present", false}}},
          // No hand-over left by an earlier boot, no preset variables.
          {"variables", {{"initial", json::array()}}},
          {"cmos", {{"initial", {{"0x6F", 0}}}}},
          {"tcg_core", {{"calls", {"ProcessPpiRequestHook"}}}}};
}

inline constexpr const char *kPpiGuid = "A8A2093B-FEFA-43C1-8E62-CE526847265E";
inline constexpr const char *kTcgGuid = "962E8146-E513-4F64-BA77-67101B9929DA";
inline constexpr const char *kSetupGuid = "EC87D643-EBA4-4BB5-A1E5-3F3E36B20DA9";
inline constexpr const char *kLastBootFailedGuid = "B540A530-6978-4DA7-91CB-7207D764D262";

inline json Variable(const char *name, const char *guid, const Bytes &data,
                     unsigned attributes = 7) {
  return {{"name", name}, {"guid", guid}, {"attributes", attributes}, {"data", data}};
}

// A "Setup" of 928 bytes with a pattern in every byte.
inline Bytes SetupPattern() {
  Bytes b(kSetupDataSize);
  for (size_t i = 0; i < b.size(); ++i)
    b[i] = uint8_t(0x40 + i % 61);
  return b;
}

// `before` with the bytes start-up keeps in line with the TPM taken from
// `after`, and the given bytes set.
inline Bytes SetupExpected(const Bytes &before, const std::optional<Bytes> &after,
                           std::initializer_list<std::pair<size_t, uint8_t>> set = {}) {
  Bytes expected = before;
  if (after && after->size() == expected.size())
    for (size_t offset : {32, 33, 34, 602, 604})
      expected[offset] = (*after)[offset];
  for (auto [offset, value] : set)
    expected[offset] = value;
  return expected;
}

// The TpmPlatformState record (offsets after the skipped first byte):
// bytes 0 and 2 set, the operation at 18, and the given bytes.
inline Bytes StateRecord(uint8_t operation,
                         std::initializer_list<std::pair<size_t, uint8_t>> set = {}) {
  Bytes record(64, 0);
  record[0] = 1;
  record[2] = 1;
  record[18] = operation;
  for (auto [offset, value] : set)
    record[offset] = value;
  return record;
}

inline json StatePatch(const Bytes &record) {
  return {{"tpm_platform_state", {{"present", true}, {"record", record}}}};
}

class PpiTestBoard : public testboard::TestBoard {
public:
  // A board in a fresh state directory, removed with the board.
  explicit PpiTestBoard(const json &patch = {})
      : PpiTestBoard(patch, testboard::FreshStateDirectory("ppi-test"), true) {}
  // The next power cycle of a board whose state another one committed: the
  // directory is kept.
  PpiTestBoard(const json &patch, std::filesystem::path dir, bool owned)
      : TestBoard(testboard::ReferenceWith({BasePatch(), patch}), std::move(dir), owned) {}

  std::optional<Bytes> PpiVar() const {
    return Var(kPpiRequestVariableName, gPpiRequestVariableGuid);
  }
  std::optional<Bytes> TcgVar() const { return Var(kTcgStateVariableName, gTcgStateVariableGuid); }
  std::optional<Bytes> Setup() const { return Var(kSetupVariableName, gSetupVariableGuid); }

  sim::Console &Console() { return Part<sim::ConsoleComponent>().Device(); }
  sim::PpiBoardComponent &Ppi() { return Part<sim::PpiBoardComponent>(); }
  sim::tpm::TpmComponent &Tpm() { return Part<sim::tpm::TpmComponent>(); }
  // The lines the driver printed on the text screen, in order.
  std::vector<std::u16string> Transcript() { return Console().Screen().Transcript(); }
};

// Start-up always writes "TCG" byte 4 as 1; another component may change it
// before the console connects.
inline void SetModeAfterStartup(PpiTestBoard &board, uint8_t mode) {
  board->Sequence().Attach("pci-enumeration", "test", [mode](sim::Board &b) {
    b.Variables().Put({kTcgStateVariableName, gTcgStateVariableGuid, 7, {0, 0, 0, 0, mode, 0}});
  });
}

// The owner flag as a TPM with an owner would have left it at start-up
// (the decision tables run without the chip; StoryTest uses a real one).
inline void SetOwnedAfterStartup(PpiTestBoard &board, bool owned) {
  board->Sequence().Attach("pci-enumeration", "test",
                           [owned](sim::Board &) { TpmPlatform::gTpmOwnedFlag = owned ? 1 : 0; });
}

// The driver's token texts, read from the package list stored in the image.
inline std::u16string Token(uint16_t token) {
  static const std::vector<std::u16string> texts = [] {
    sim::HiiStringDatabase db;
    const uint32_t size = sim::HiiStringDatabase::DeclaredSize(TpmPlatformDxeStrings);
    auto added = db.AddPackageList(std::span(TpmPlatformDxeStrings, size));
    std::vector<std::u16string> all(29);
    for (uint16_t t = 1; t <= 28; ++t)
      all[t] = db.GetString(added.Handle, t).value_or(u"");
    return all;
  }();
  return texts.at(token);
}

} // namespace ppitest
