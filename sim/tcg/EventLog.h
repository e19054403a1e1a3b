// The TCG 1.2 event log the board's TCG protocol keeps: plain TCG_PCR_EVENT
// records, back to back, in one buffer that never moves (its address is what
// StatusCheck reports). No EV_NO_ACTION header: the SHA-1 legacy format.
#pragma once
#include "sim/tpm/TpmWire.h"

#include <map>
#include <optional>

namespace sim::tcg {

using tpm::Bytes;
using tpm::Digest;

struct EventRecord {
  uint32_t Pcr;
  uint32_t Type;
  Digest Digest;
  Bytes Data;    // the event data (EventSize bytes)
  size_t Offset; // where the record starts in the binary log
};

class EventLog {
public:
  static constexpr size_t kDefaultCapacity = 64 * 1024;
  explicit EventLog(size_t capacity = kDefaultCapacity);

  // Appends one record; false (nothing written) when it does not fit.
  bool Append(uint32_t pcr, uint32_t type, const Digest &digest, std::span<const uint8_t> data);

  const std::vector<EventRecord> &Records() const { return records_; }
  // The binary log: the records as the TCG 1.2 format lays them out.
  std::span<const uint8_t> Binary() const { return {buffer_.data(), used_}; }
  Bytes ExportBinaryLog() const { return {buffer_.begin(), buffer_.begin() + used_}; }
  // Start of the buffer and of the last record (NULL while empty).
  const uint8_t *Base() const { return buffer_.data(); }
  const uint8_t *LastEntry() const;
  size_t Capacity() const { return buffer_.size(); }

  // The PCR values the records produce from all-zero PCRs.
  std::map<uint32_t, Digest> Replay() const;
  void Clear();

  // Parses a binary log back into records; nullopt when malformed.
  static std::optional<std::vector<EventRecord>> Parse(std::span<const uint8_t> binary);

private:
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  std::vector<EventRecord> records_;
};

} // namespace sim::tcg
