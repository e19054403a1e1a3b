// The board's EFI_TCG_PROTOCOL over its TPM 1.2: StatusCheck, HashAll (SHA-1),
// LogEvent, PassThroughToTpm and HashLogExtendEvent (SHA-1, TPM_Extend, then
// the record in the event log). Every call can be failed by the board's fault
// injector under "Tcg.<Function>".
//
// For TPM vendor 0x1050 the board answers that vendor's state ordinal
// 0x20000021 itself, from the TPM's real flags: response bytes 10, 11, 12, 13
// = disable, deactivated, ownership-allowed, owner installed.
#pragma once
#include "Tcg/TcgProtocol.h"
#include "sim/tcg/EventLog.h"
#include "sim/tpm/Tpm12.h"

#include <functional>
#include <optional>
#include <string_view>

namespace sim::tcg {

constexpr uint16_t kVendorWithStateOrdinal = 0x1050;
constexpr uint32_t kVendorStateOrdinal = 0x20000021;

class TcgProtocol {
public:
  // Consulted first by every call: a status makes the call fail with it.
  using FaultCheck = std::function<std::optional<EFI_STATUS>(std::string_view key)>;
  // Boot-services pool for HashAll's result buffer.
  using PoolAllocator = std::function<void *(size_t size)>;

  struct Options {
    uint16_t VendorId = 0;
    bool VendorStateFails = false; // the vendor ordinal answers TPM_FAIL
  };

  // One PassThroughToTpm call as the TPM saw it.
  struct Exchange {
    Bytes Request;
    Bytes Response; // empty when nothing was answered
    uint32_t OutputSize;
    EFI_STATUS Status;
  };

  TcgProtocol(tpm::Tpm12 &tpm, Options options, FaultCheck faults = {}, PoolAllocator allocate = {},
              size_t logCapacity = EventLog::kDefaultCapacity);
  TcgProtocol(const TcgProtocol &) = delete;
  TcgProtocol &operator=(const TcgProtocol &) = delete;

  EFI_TCG_PROTOCOL *Interface() { return &interface_.Protocol; }

  EventLog &Log() { return log_; }
  const EventLog &Log() const { return log_; }
  tpm::Digest ReadPcr(uint32_t index) { return tpm_.ReadPcr(index); }
  const std::vector<Exchange> &Exchanges() const { return exchanges_; }
  const Options &GetOptions() const { return options_; }

private:
  struct Shell {
    EFI_TCG_PROTOCOL Protocol;
    TcgProtocol *Owner;
  };
  static TcgProtocol *Self(EFI_TCG_PROTOCOL *This);

  static EFI_STATUS EFIAPI StatusCheck(EFI_TCG_PROTOCOL *This,
                                       TCG_EFI_BOOT_SERVICE_CAPABILITY *Capability,
                                       UINT32 *FeatureFlags, EFI_PHYSICAL_ADDRESS *LogLocation,
                                       EFI_PHYSICAL_ADDRESS *LogLastEntry);
  static EFI_STATUS EFIAPI HashAll(EFI_TCG_PROTOCOL *This, UINT8 *Data, UINT64 DataLen,
                                   TCG_ALGORITHM_ID Algorithm, UINT64 *HashedDataLen,
                                   UINT8 **HashedDataResult);
  static EFI_STATUS EFIAPI LogEvent(EFI_TCG_PROTOCOL *This, TCG_PCR_EVENT *Event,
                                    UINT32 *EventNumber, UINT32 Flags);
  static EFI_STATUS EFIAPI PassThroughToTpm(EFI_TCG_PROTOCOL *This, UINT32 InputSize, UINT8 *Input,
                                            UINT32 OutputSize, UINT8 *Output);
  static EFI_STATUS EFIAPI HashLogExtendEvent(EFI_TCG_PROTOCOL *This, EFI_PHYSICAL_ADDRESS HashData,
                                              UINT64 HashDataLen, TCG_ALGORITHM_ID Algorithm,
                                              TCG_PCR_EVENT *Event, UINT32 *EventNumber,
                                              EFI_PHYSICAL_ADDRESS *LogLastEntry);

  std::optional<EFI_STATUS> Fault(std::string_view key) const;
  Bytes Answer(std::span<const uint8_t> request);
  Bytes VendorState();
  bool AppendRecord(const TCG_PCR_EVENT &event, UINT32 *EventNumber,
                    EFI_PHYSICAL_ADDRESS *LogLastEntry);

  tpm::Tpm12 &tpm_;
  Options options_;
  FaultCheck faults_;
  PoolAllocator allocate_;
  Shell interface_;
  EventLog log_;
  std::vector<Exchange> exchanges_;
};

// One line for a report: the request by name, its return code and the flags
// the answer carries ("GetCapability permanent flags: rc 0x0, disable 0 ...").
std::string DescribeExchange(const TcgProtocol::Exchange &exchange);

} // namespace sim::tcg
