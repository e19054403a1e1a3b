// The TCG event log as a firmware engineer reads it: event-type names and a
// readable description of each record's data (the records themselves come
// from sim/tcg/EventLog.h).
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace sim::report {

// "EV_EFI_ACTION"; "EV_UNKNOWN_0x..." for types this board does not produce.
std::string EventTypeName(uint32_t type);
// One line describing a record's event data.
std::string DescribeEvent(uint32_t type, std::span<const uint8_t> data);

std::string Hex(std::span<const uint8_t> bytes);

} // namespace sim::report
