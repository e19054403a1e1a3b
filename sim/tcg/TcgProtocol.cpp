#include "sim/tcg/TcgProtocol.h"
#include "support/Hw.h"

#include <openssl/sha.h>

#include <cstddef>
#include <cstring>

namespace sim::tcg {

namespace {

tpm::Digest Sha1(const uint8_t *data, size_t size) {
  tpm::Digest digest;
  SHA1(data, size, digest.data());
  return digest;
}

} // namespace

TcgProtocol::TcgProtocol(tpm::Tpm12 &tpm, Options options, FaultCheck faults,
                         PoolAllocator allocate, size_t logCapacity)
    : tpm_(tpm), options_(options), faults_(std::move(faults)), allocate_(std::move(allocate)),
      log_(logCapacity) {
  interface_.Protocol = {StatusCheck, HashAll, LogEvent, PassThroughToTpm, HashLogExtendEvent};
  interface_.Owner = this;
}

TcgProtocol *TcgProtocol::Self(EFI_TCG_PROTOCOL *This) {
  static_assert(offsetof(Shell, Protocol) == 0);
  return reinterpret_cast<Shell *>(This)->Owner;
}

std::optional<EFI_STATUS> TcgProtocol::Fault(std::string_view key) const {
  return faults_ ? faults_(key) : std::nullopt;
}

EFI_STATUS EFIAPI TcgProtocol::StatusCheck(EFI_TCG_PROTOCOL *This,
                                           TCG_EFI_BOOT_SERVICE_CAPABILITY *Capability,
                                           UINT32 *FeatureFlags, EFI_PHYSICAL_ADDRESS *LogLocation,
                                           EFI_PHYSICAL_ADDRESS *LogLastEntry) {
  if (This == nullptr)
    return EFI_INVALID_PARAMETER;
  TcgProtocol &self = *Self(This);
  if (auto status = self.Fault("Tcg.StatusCheck"))
    return *status;
  if (Capability != nullptr) {
    bool deactivated =
        self.tpm_.ReadPermanentFlags().Deactivated || self.tpm_.ReadVolatileFlags().Deactivated;
    *Capability = {};
    Capability->Size = sizeof(*Capability);
    Capability->StructureVersion = {1, 2, 0, 0};
    Capability->ProtocolSpecVersion = {1, 2, 0, 0};
    Capability->HashAlgorithmBitmap = 1; // SHA-1
    Capability->TPMPresentFlag = 1;
    Capability->TPMDeactivatedFlag = deactivated ? 1 : 0;
  }
  if (FeatureFlags != nullptr)
    *FeatureFlags = 0;
  if (LogLocation != nullptr)
    *LogLocation = PointerToPhysical(self.log_.Base());
  if (LogLastEntry != nullptr)
    *LogLastEntry = self.log_.LastEntry() ? PointerToPhysical(self.log_.LastEntry()) : 0;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI TcgProtocol::HashAll(EFI_TCG_PROTOCOL *This, UINT8 *Data, UINT64 DataLen,
                                       TCG_ALGORITHM_ID Algorithm, UINT64 *HashedDataLen,
                                       UINT8 **HashedDataResult) {
  if (This == nullptr || HashedDataLen == nullptr || HashedDataResult == nullptr ||
      (Data == nullptr && DataLen != 0))
    return EFI_INVALID_PARAMETER;
  TcgProtocol &self = *Self(This);
  if (auto status = self.Fault("Tcg.HashAll"))
    return *status;
  if (Algorithm != TPM_ALG_SHA)
    return EFI_UNSUPPORTED;
  // A zero length asks for a buffer of the digest's size (allocated when the
  // caller gives none); otherwise the caller's buffer must hold the digest.
  if (*HashedDataLen == 0) {
    *HashedDataLen = SHA1_DIGEST_SIZE;
    if (*HashedDataResult == nullptr) {
      *HashedDataResult =
          self.allocate_ ? static_cast<UINT8 *>(self.allocate_(SHA1_DIGEST_SIZE)) : nullptr;
      if (*HashedDataResult == nullptr)
        return EFI_OUT_OF_RESOURCES;
    }
  } else if (*HashedDataLen < SHA1_DIGEST_SIZE) {
    *HashedDataLen = SHA1_DIGEST_SIZE;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (*HashedDataResult == nullptr)
    return EFI_INVALID_PARAMETER;
  tpm::Digest digest = Sha1(Data, size_t(DataLen));
  std::memcpy(*HashedDataResult, digest.data(), digest.size());
  *HashedDataLen = SHA1_DIGEST_SIZE;
  return EFI_SUCCESS;
}

bool TcgProtocol::AppendRecord(const TCG_PCR_EVENT &event, UINT32 *EventNumber,
                               EFI_PHYSICAL_ADDRESS *LogLastEntry) {
  tpm::Digest digest;
  std::memcpy(digest.data(), event.Digest.digest, digest.size());
  if (!log_.Append(event.PCRIndex, event.EventType, digest,
                   std::span(event.Event, event.EventSize)))
    return false;
  if (EventNumber != nullptr)
    *EventNumber = UINT32(log_.Records().size() - 1);
  if (LogLastEntry != nullptr)
    *LogLastEntry = PointerToPhysical(log_.LastEntry());
  return true;
}

EFI_STATUS EFIAPI TcgProtocol::LogEvent(EFI_TCG_PROTOCOL *This, TCG_PCR_EVENT *Event,
                                        UINT32 *EventNumber, UINT32 Flags) {
  (void)Flags;
  if (This == nullptr || Event == nullptr)
    return EFI_INVALID_PARAMETER;
  TcgProtocol &self = *Self(This);
  if (auto status = self.Fault("Tcg.LogEvent"))
    return *status;
  return self.AppendRecord(*Event, EventNumber, nullptr) ? EFI_SUCCESS : EFI_OUT_OF_RESOURCES;
}

Bytes TcgProtocol::VendorState() {
  if (options_.VendorStateFails)
    return tpm::FrameCommand(0x09, {}, tpm::TPM_TAG_RSP_COMMAND); // TPM_FAIL
  tpm::PermanentFlags flags = tpm_.ReadPermanentFlags();
  bool owned = tpm_.Owned();
  return tpm::Writer()
      .U16(tpm::TPM_TAG_RSP_COMMAND)
      .U32(14)
      .U32(tpm::TPM_SUCCESS)
      .U8(flags.Disable)
      .U8(flags.Deactivated)
      .U8(flags.Ownership)
      .U8(owned)
      .Take();
}

Bytes TcgProtocol::Answer(std::span<const uint8_t> request) {
  if (options_.VendorId == kVendorWithStateOrdinal &&
      tpm::RequestOrdinal(request) == kVendorStateOrdinal)
    return VendorState();
  return tpm_.Transmit(request);
}

EFI_STATUS EFIAPI TcgProtocol::PassThroughToTpm(EFI_TCG_PROTOCOL *This, UINT32 InputSize,
                                                UINT8 *Input, UINT32 OutputSize, UINT8 *Output) {
  if (This == nullptr || Input == nullptr || Output == nullptr || InputSize == 0 || OutputSize == 0)
    return EFI_INVALID_PARAMETER;
  TcgProtocol &self = *Self(This);
  Exchange exchange{Bytes(Input, Input + InputSize), {}, OutputSize, EFI_SUCCESS};
  if (auto status = self.Fault("Tcg.PassThroughToTpm")) {
    exchange.Status = *status;
  } else {
    exchange.Response = self.Answer(exchange.Request);
    if (exchange.Response.size() > OutputSize)
      exchange.Status = EFI_BUFFER_TOO_SMALL;
    else
      std::memcpy(Output, exchange.Response.data(), exchange.Response.size());
  }
  self.exchanges_.push_back(exchange);
  return exchange.Status;
}

EFI_STATUS EFIAPI TcgProtocol::HashLogExtendEvent(EFI_TCG_PROTOCOL *This,
                                                  EFI_PHYSICAL_ADDRESS HashData, UINT64 HashDataLen,
                                                  TCG_ALGORITHM_ID Algorithm, TCG_PCR_EVENT *Event,
                                                  UINT32 *EventNumber,
                                                  EFI_PHYSICAL_ADDRESS *LogLastEntry) {
  if (This == nullptr || Event == nullptr || (HashData == 0 && HashDataLen != 0))
    return EFI_INVALID_PARAMETER;
  TcgProtocol &self = *Self(This);
  if (auto status = self.Fault("Tcg.HashLogExtendEvent"))
    return *status;
  if (Algorithm != TPM_ALG_SHA)
    return EFI_UNSUPPORTED;
  // No data: the caller's digest is extended as it stands.
  if (HashData != 0) {
    const auto *data = static_cast<const uint8_t *>(PhysicalToPointer(HashData));
    tpm::Digest digest = Sha1(data, size_t(HashDataLen));
    std::memcpy(Event->Digest.digest, digest.data(), digest.size());
  }
  if (self.log_.Capacity() - self.log_.Binary().size() < kTcgPcrEventHeaderSize + Event->EventSize)
    return EFI_OUT_OF_RESOURCES;
  tpm::Digest digest;
  std::memcpy(digest.data(), Event->Digest.digest, digest.size());
  if (self.tpm_.Extend(Event->PCRIndex, digest) != tpm::TPM_SUCCESS)
    return EFI_DEVICE_ERROR;
  self.AppendRecord(*Event, EventNumber, LogLastEntry);
  return EFI_SUCCESS;
}

} // namespace sim::tcg
