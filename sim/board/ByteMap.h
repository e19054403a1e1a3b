// The board file's byte maps: an object of "offset": byte pairs that sets
// single bytes of a buffer ({"32": 0, "0x258": 1}). Offsets are decimal or
// 0x hex, bytes 0..255.
#pragma once
#include "sim/board/BoardConfig.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// Reads section.key as a byte map over `size` bytes; `what` names the buffer
// in errors ("the variable's 928 bytes"). Absent: no pairs.
std::vector<std::pair<uint64_t, uint8_t>> ReadByteMap(ConfigSection &section, std::string_view key,
                                                      uint64_t size, const std::string &what);

} // namespace sim
