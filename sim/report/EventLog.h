// The TCG 1.2 event log as a firmware engineer reads it: records parsed from
// the binary log (plain TCG_PCR_EVENT records), event-type names, a readable
// description of each record's data, and the SHA-1 replay of PCRs 0 to 7.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim::report {

struct EventRecord {
  uint32_t Pcr = 0;
  uint32_t Type = 0;
  std::array<uint8_t, 20> Digest{};
  std::vector<uint8_t> Data;
};

using Sha1 = std::array<uint8_t, 20>;

// Throws std::runtime_error for a truncated record.
std::vector<EventRecord> ParseEventLog(std::span<const uint8_t> log);
std::vector<uint8_t> EncodeEventLog(const std::vector<EventRecord> &records);

// "EV_EFI_ACTION"; "EV_UNKNOWN_0x..." for types this board does not produce.
std::string EventTypeName(uint32_t type);
// One line describing the record's data.
std::string DescribeEvent(const EventRecord &record);

// PCRs 0..7 replayed from 20 zero bytes with SHA-1(PCR || digest).
std::array<Sha1, 8> ReplayPcrs(const std::vector<EventRecord> &records);

std::string Hex(std::span<const uint8_t> bytes);

} // namespace sim::report
