// Fault injection: make any service or protocol call fail with a chosen status,
// on every call or on the n-th call only, so tests can prove each failure path.
//
// Services are named: boot and runtime services by their table names
// ("LocateProtocol", "GetVariable"), protocol calls as "Protocol.Function"
// ("Tcg.PassThroughToTpm"). Calls that name a variable are also counted under
// "Service:Name" ("SetVariable:Setup"), and a rule may target that key.
// Only the calls in FaultPoints() can fail; a rule naming anything else is
// refused when it is parsed, so a mistyped rule cannot pass unnoticed.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Every service and protocol call the board lets a rule fail, sorted.
std::span<const std::string_view> FaultPoints();
// Calls that are also counted per name ("SetVariable:Setup").
bool FaultPointTakesDetail(std::string_view service);

struct FaultRule {
  std::string Key;  // "GetVariable" or "GetVariable:Setup"
  uint64_t Nth = 0; // 0: every call; n: the n-th call of Key only (1-based)
  EFI_STATUS Status = 0;
  // An allocation that reports success but hands back no buffer (status text "NULL"):
  // firmware that checks only the status dereferences it.
  bool NullBuffer = false;

  // "KEY=STATUS" or "KEY#N=STATUS", e.g. "SetVariable:Setup#2=EFI_DEVICE_ERROR";
  // "AllocatePool#N=NULL" for success with a NULL buffer.
  // Throws SimulationError for an unknown call or status, or a bad N.
  static FaultRule Parse(std::string_view text);
  std::string ToString() const;
};

class FaultInjector {
public:
  struct Injection {
    std::string Key;
    uint64_t Call; // which call of Key failed
    EFI_STATUS Status;
    bool NullBuffer = false;
  };

  void Add(FaultRule rule) {
    rules_.push_back(std::move(rule));
    hits_.push_back(0);
  }
  void FailEvery(std::string key, EFI_STATUS status) { Add({std::move(key), 0, status}); }
  void FailNth(std::string key, uint64_t nth, EFI_STATUS status) {
    Add({std::move(key), nth, status});
  }
  // The n-th AllocatePool call (every call with nth 0) succeeds with a NULL buffer.
  void NullNthAllocation(uint64_t nth) { Add({"AllocatePool", nth, 0, true}); }
  void ClearRules() {
    rules_.clear();
    hits_.clear();
  }

  // Every faultable call consults this first: counts the call (under
  // "service" and, with a detail, "service:detail") and returns the status to
  // fail it with when a rule matches.
  std::optional<EFI_STATUS> Check(std::string_view service, std::string_view detail = {});
  // Whether the fault Check last returned is a NULL-buffer success.
  bool LastIsNullBuffer() const { return !injected_.empty() && injected_.back().NullBuffer; }

  uint64_t Calls(std::string_view key) const;
  // Every key seen so far with its call count: the injection points a sweep
  // can enumerate.
  const std::map<std::string, uint64_t, std::less<>> &CallCounts() const { return calls_; }
  const std::vector<FaultRule> &Rules() const { return rules_; }
  // How many calls each rule failed (parallel to Rules()).
  const std::vector<uint64_t> &Hits() const { return hits_; }
  // Every counted call in order ("SetVariable:Setup#2"), when recording.
  void RecordCalls(bool on) { recording_ = on; }
  const std::vector<std::string> &CallLog() const { return callLog_; }
  const std::vector<Injection> &Injected() const { return injected_; }
  void ResetCounts() {
    calls_.clear();
    injected_.clear();
  }

private:
  uint64_t Count(std::string_view key);

  std::vector<FaultRule> rules_;
  std::vector<uint64_t> hits_;
  bool recording_ = false;
  std::vector<std::string> callLog_;
  std::map<std::string, uint64_t, std::less<>> calls_;
  std::vector<Injection> injected_;
};

} // namespace sim
