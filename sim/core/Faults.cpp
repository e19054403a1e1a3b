#include "sim/core/Faults.h"

#include "sim/core/Errors.h"
#include "sim/core/Status.h"

#include <cstdlib>

namespace sim {

FaultRule FaultRule::Parse(std::string_view text) {
  auto eq = text.rfind('=');
  if (eq == std::string_view::npos || eq == 0)
    throw SimulationError("fault rule \"" + std::string(text) + "\": expected SERVICE[#N]=STATUS");
  FaultRule rule;
  std::string_view key = text.substr(0, eq);
  std::optional<EFI_STATUS> status;
  if (text.substr(eq + 1) == "NULL") {
    rule.NullBuffer = true;
    status = EFI_SUCCESS;
  } else {
    status = ParseStatus(text.substr(eq + 1));
  }
  if (!status)
    throw SimulationError("fault rule \"" + std::string(text) + "\": unknown status \"" +
                          std::string(text.substr(eq + 1)) + "\"");
  rule.Status = *status;
  if (auto hash = key.find('#'); hash != std::string_view::npos) {
    std::string n(key.substr(hash + 1));
    char *end = nullptr;
    unsigned long long nth = std::strtoull(n.c_str(), &end, 10);
    if (n.empty() || *end != '\0' || nth == 0)
      throw SimulationError("fault rule \"" + std::string(text) +
                            "\": the call number must be 1 or more");
    rule.Nth = nth;
    key = key.substr(0, hash);
  }
  if (key.empty())
    throw SimulationError("fault rule \"" + std::string(text) + "\": no service named");
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
  std::string detailed;
  uint64_t serviceCall = Count(service);
  uint64_t detailCall = 0;
  if (!detail.empty()) {
    detailed = std::string(service) + ":" + std::string(detail);
    detailCall = Count(detailed);
  }
  for (const auto &rule : rules_) {
    uint64_t call;
    if (rule.Key == service)
      call = serviceCall;
    else if (!detailed.empty() && rule.Key == detailed)
      call = detailCall;
    else
      continue;
    if (rule.Nth == 0 || rule.Nth == call) {
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
