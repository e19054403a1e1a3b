#include "sim/tcg/EventLog.h"

#include <openssl/sha.h>

#include <cstring>

namespace sim::tcg {

namespace {

constexpr size_t kRecordHeader = 32; // PCRIndex, EventType, Digest, EventSize

void PutLe32(uint8_t *at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    at[i] = uint8_t(v >> (8 * i));
}
uint32_t GetLe32(const uint8_t *at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

} // namespace

EventLog::EventLog(size_t capacity) : buffer_(capacity, 0) {}

bool EventLog::Append(uint32_t pcr, uint32_t type, const Digest &digest,
                      std::span<const uint8_t> data) {
  const size_t size = kRecordHeader + data.size();
  if (data.size() > UINT32_MAX || buffer_.size() - used_ < size)
    return false;
  uint8_t *at = buffer_.data() + used_;
  PutLe32(at, pcr);
  PutLe32(at + 4, type);
  std::memcpy(at + 8, digest.data(), digest.size());
  PutLe32(at + 28, uint32_t(data.size()));
  if (!data.empty())
    std::memcpy(at + kRecordHeader, data.data(), data.size());
  records_.push_back({pcr, type, digest, Bytes(data.begin(), data.end()), used_});
  used_ += size;
  return true;
}

const uint8_t *EventLog::LastEntry() const {
  return records_.empty() ? nullptr : buffer_.data() + records_.back().Offset;
}

std::map<uint32_t, Digest> EventLog::Replay() const {
  std::map<uint32_t, Digest> pcrs;
  for (const EventRecord &r : records_) {
    Digest &value = pcrs[r.Pcr]; // starts all zero
    uint8_t input[40];
    std::memcpy(input, value.data(), 20);
    std::memcpy(input + 20, r.Digest.data(), 20);
    SHA1(input, sizeof input, value.data());
  }
  return pcrs;
}

void EventLog::Clear() {
  std::fill(buffer_.begin(), buffer_.end(), 0);
  used_ = 0;
  records_.clear();
}

std::optional<std::vector<EventRecord>> EventLog::Parse(std::span<const uint8_t> binary) {
  std::vector<EventRecord> records;
  size_t at = 0;
  while (at < binary.size()) {
    if (binary.size() - at < kRecordHeader)
      return std::nullopt;
    const uint8_t *r = binary.data() + at;
    uint32_t size = GetLe32(r + 28);
    if (binary.size() - at - kRecordHeader < size)
      return std::nullopt;
    EventRecord record{GetLe32(r), GetLe32(r + 4), {}, Bytes(r + 32, r + 32 + size), at};
    std::memcpy(record.Digest.data(), r + 8, 20);
    records.push_back(std::move(record));
    at += kRecordHeader + size;
  }
  return records;
}

} // namespace sim::tcg
