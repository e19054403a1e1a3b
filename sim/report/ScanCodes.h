// Names of PS/2 scan-code set 1 codes, for showing the keyboard stream.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim::report {

// Splits the stream into keys ("E0 30" is one) and names each one:
// "E0 30  Volume Up pressed", "E0 B0  Volume Up released".
std::vector<std::string> DescribeScanCodes(std::span<const uint8_t> stream);

} // namespace sim::report
