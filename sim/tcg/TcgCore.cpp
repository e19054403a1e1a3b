#include "sim/tcg/TcgCore.h"
#include "sim/board/Board.h"
#include "sim/board/Components.h"
#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/Status.h"
#include "sim/core/Text.h"
#include "support/Format.h"

#include <algorithm>

namespace sim {

namespace {

constexpr const char *kDefaultPhase = "tcg-core";
// What a platform's TCG core calls on a normal boot; ZeroPpiVariableHook
// only on platforms that want the request variable wiped.
const std::vector<std::string> kDefaultCalls = {"SyncTpmEnableHook",     "GetPlatformOptions",
                                                "ProcessPpiRequestHook", "MicrocodeHook",
                                                "OptionRomHook",         "ReadyToBootHook"};

} // namespace

size_t TcgCoreComponent::SlotOf(std::string_view name) {
  for (size_t i = 0; i < kPlatformHookNames.size(); ++i)
    if (name == kPlatformHookNames[i])
      return i;
  throw SimulationError("unknown hook \"" + std::string(name) + "\"");
}

void TcgCoreComponent::Configure(ConfigSection &section) {
  RegisterGuidName(gPlatformHooksProtocolGuid, "PlatformHooksProtocol");
  calls_.clear();
  for (const std::string &entry : section.Strings("calls", kDefaultCalls)) {
    size_t at = entry.find('@');
    std::string name = entry.substr(0, at);
    std::string phase = at == std::string::npos ? kDefaultPhase : entry.substr(at + 1);
    try {
      calls_.push_back({SlotOf(name), phase});
    } catch (const SimulationError &e) {
      section.Fail("calls", e.what());
    }
  }
}

void TcgCoreComponent::AttachPhases(BootSequence &sequence) {
  std::vector<std::string> phases;
  for (const Call &call : calls_)
    if (std::find(phases.begin(), phases.end(), call.Phase) == phases.end())
      phases.push_back(call.Phase);
  for (const std::string &phase : phases)
    sequence.Attach(phase, "tcg_core", [this, phase](Board &board) {
      for (const Call &call : calls_)
        if (call.Phase == phase)
          CallHook(board, call);
    });
}

void TcgCoreComponent::PowerOn(Board &board) {
  (void)board;
  results_.clear();
}

void TcgCoreComponent::CallHook(Board &board, const Call &call) {
  VOID *interface = nullptr;
  Result result{call.Slot, call.Phase, false, EFI_NOT_FOUND, {}};
  if (!EFI_ERROR(
          board.Handles().LocateProtocol(&gPlatformHooksProtocolGuid, nullptr, &interface)) &&
      interface != nullptr) {
    result.Found = true;
    auto *hooks = static_cast<PlatformHooksProtocol *>(interface);
    // Recorded before the call: a hook may end the boot (a reset).
    results_.push_back(result);
    Result &done = results_.back();
    if (call.Slot == 5) {
      uint8_t options[kPlatformOptionsSize] = {0xEE, 0xEE, 0xEE, 0xEE};
      done.Status = hooks->GetPlatformOptions(options);
      done.Options.assign(options, options + sizeof options);
    } else {
      PLATFORM_HOOK slots[] = {hooks->MicrocodeHook,      hooks->OptionRomHook,
                               hooks->SyncTpmEnableHook,  hooks->ProcessPpiRequestHook,
                               hooks->ReadyToBootHook,    nullptr,
                               hooks->ZeroPpiVariableHook};
      done.Status = slots[call.Slot]();
    }
    return;
  }
  results_.push_back(result);
}

void TcgCoreComponent::Report(Board &board, BootReport &report) {
  nlohmann::json &section = report.Section("hooks").Data;
  VOID *interface = nullptr;
  bool installed = !EFI_ERROR(board.Handles().LocateProtocol(&gPlatformHooksProtocolGuid, nullptr,
                                                             &interface)) &&
                   interface != nullptr;
  section["installed"] = installed;
  if (installed) {
    std::vector<EFI_HANDLE> on = board.Handles().HandlesWith(gPlatformHooksProtocolGuid);
    section["handle"] = on.empty() ? 0 : board.Handles().HandleNumber(on.front());
    auto *slots = static_cast<void **>(interface);
    auto &table = section["slots"];
    for (size_t i = 0; i < kPlatformHookCount; ++i)
      table.push_back({{"slot", i}, {"name", kPlatformHookNames[i]}, {"set", slots[i] != nullptr}});
  }
  auto &calls = section["calls"];
  calls = nlohmann::json::array();
  for (const Result &r : results_) {
    nlohmann::json entry = {
        {"slot", r.Slot},
        {"hook", kPlatformHookNames[r.Slot]},
        {"phase", r.Phase},
        {"status", r.Found ? StatusText(r.Status) : "hook table not installed"}};
    if (!r.Options.empty())
      entry["options"] = ToHex(r.Options);
    calls.push_back(entry);
  }
}

std::unique_ptr<Component> MakeTcgCore() {
  return std::make_unique<TcgCoreComponent>();
}

} // namespace sim
