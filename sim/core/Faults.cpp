#include "sim/core/Faults.h"

#include "sim/core/Errors.h"
#include "sim/core/Status.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace sim {

namespace {
// Sorted: FaultInjector::Check looks names up on every call.
constexpr std::string_view kFaultPoints[] = {
    "AcpiSupport.GetAcpiTable",
    "AcpiSupport.PublishTables",
    "AcpiSupport.SetAcpiTable",
    "AllocatePages",
    "AllocatePool",
    "BootScript.Write",
    "CalculateCrc32",
    "CheckEvent",
    "CloseEvent",
    "CloseProtocol",
    "ConnectController",
    "CreateEvent",
    "CreateEventEx",
    "DisconnectController",
    "ExitBootServices",
    "FreePages",
    "FreePool",
    "GetNextMonotonicCount",
    "GetNextVariableName",
    "GetTime",
    "GetVariable",
    "GpiDispatch.Register",
    "HandleProtocol",
    "InstallConfigurationTable",
    "InstallProtocolInterface",
    "LoadImage",
    "LocateDevicePath",
    "LocateHandle",
    "LocateHandleBuffer",
    "LocateProtocol",
    "OpenProtocol",
    "OpenProtocolInformation",
    "PasswordService.CheckPassword",
    "PasswordService.GetPasswordState",
    "PlatformData.GetData",
    "ProtocolsPerHandle",
    "QueryVariableInfo",
    "RegisterProtocolNotify",
    "ReinstallProtocolInterface",
    "SetTimer",
    "SetVariable",
    "SetWatchdogTimer",
    "SignalEvent",
    "SmmBase.GetSmstLocation",
    "SmmBase.InSmm",
    "SmmBase.Register",
    "SmmProtocolLookup",
    "SmmRuntime.GetVariable",
    "Stall",
    "StartImage",
    "SwDispatch.Register",
    "Tcg.HashAll",
    "Tcg.HashLogExtendEvent",
    "Tcg.LogEvent",
    "Tcg.PassThroughToTpm",
    "Tcg.StatusCheck",
    "UninstallProtocolInterface",
    "WaitForEvent",
};
constexpr std::string_view kDetailed[] = {"GetVariable", "LocateProtocol", "SetVariable"};

bool Known(std::string_view name) {
  return std::binary_search(std::begin(kFaultPoints), std::end(kFaultPoints), name);
}

std::string KnownList() {
  std::string list;
  for (auto name : kFaultPoints)
    list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}
} // namespace

std::span<const std::string_view> FaultPoints() {
  return kFaultPoints;
}

bool FaultPointTakesDetail(std::string_view service) {
  return std::find(std::begin(kDetailed), std::end(kDetailed), service) != std::end(kDetailed);
}

FaultRule FaultRule::Parse(std::string_view text) {
  auto eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0)
    throw SimulationError("fault rule \"" + std::string(text) + "\": expected SERVICE[#N]=STATUS");
  FaultRule rule;
  std::string_view key = text.substr(0, eq);
  std::string_view statusText = text.substr(eq + 1);
  std::optional<EFI_STATUS> status;
  if (statusText == "NULL") {
    rule.NullBuffer = true;
    status = EFI_SUCCESS;
  } else if (!statusText.empty() && std::isalpha(static_cast<unsigned char>(statusText[0]))) {
    // A status by name only: a number would hide a typo such as "0x8000000000000007".
    status = ParseStatus(statusText);
  }
  if (!status)
    throw SimulationError("fault rule \"" + std::string(text) + "\": unknown status \"" +
                          std::string(text.substr(eq + 1)) + "\"");
  rule.Status = *status;
  if (auto hash = key.find('#'); hash != std::string_view::npos) {
    std::string n(key.substr(hash + 1));
    bool digits = !n.empty() && n.size() <= 18 &&
                  std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
    unsigned long long nth = digits ? std::strtoull(n.c_str(), nullptr, 10) : 0;
    if (nth == 0)
      throw SimulationError("fault rule \"" + std::string(text) +
                            "\": the call number must be 1 or more");
    rule.Nth = nth;
    key = key.substr(0, hash);
  }
  if (key.empty())
    throw SimulationError("fault rule \"" + std::string(text) + "\": no service named");
  std::string_view service = key.substr(0, key.find(':'));
  if (!Known(service))
    throw SimulationError("fault rule \"" + std::string(text) + "\": the board cannot fail \"" +
                          std::string(service) + "\"; it can fail " + KnownList());
  if (service.size() != key.size() &&
      (!FaultPointTakesDetail(service) || key.size() == service.size() + 1))
    throw SimulationError("fault rule \"" + std::string(text) + "\": only GetVariable, " +
                          "SetVariable and LocateProtocol take a \":NAME\"");
  rule.Key = std::string(key);
  if (rule.NullBuffer && rule.Key != "AllocatePool")
    throw SimulationError("fault rule \"" + std::string(text) +
                          "\": NULL (success with a NULL buffer) applies to AllocatePool only");
  return rule;
}

std::string FaultRule::ToString() const {
  return Key + (Nth ? "#" + std::to_string(Nth) : std::string()) + "=" +
         (NullBuffer ? std::string("NULL") : StatusText(Status));
}

uint64_t FaultInjector::Count(std::string_view key) {
  auto it = calls_.find(key);
  if (it == calls_.end())
    it = calls_.emplace(std::string(key), 0).first;
  return ++it->second;
}

std::optional<EFI_STATUS> FaultInjector::Check(std::string_view service, std::string_view detail) {
  // A call site missing from the table would be a point no rule can reach.
  if (!Known(service))
    throw SimulationError("fault point \"" + std::string(service) + "\" is not in the table");
  std::string detailed;
  uint64_t serviceCall = Count(service);
  uint64_t detailCall = 0;
  if (!detail.empty()) {
    detailed = std::string(service) + ":" + std::string(detail);
    detailCall = Count(detailed);
  }
  if (recording_)
    callLog_.push_back(
        std::string(service) + "#" + std::to_string(serviceCall) +
        (detailed.empty() ? std::string() : "  " + detailed + "#" + std::to_string(detailCall)));
  for (const auto &rule : rules_) {
    uint64_t call;
    if (rule.Key == service)
      call = serviceCall;
    else if (!detailed.empty() && rule.Key == detailed)
      call = detailCall;
    else
      continue;
    if (rule.Nth == 0 || rule.Nth == call) {
      ++hits_[size_t(&rule - rules_.data())];
      injected_.push_back({rule.Key, call, rule.Status, rule.NullBuffer});
      return rule.Status;
    }
  }
  return std::nullopt;
}

uint64_t FaultInjector::Calls(std::string_view key) const {
  auto it = calls_.find(key);
  return it == calls_.end() ? 0 : it->second;
}

} // namespace sim
