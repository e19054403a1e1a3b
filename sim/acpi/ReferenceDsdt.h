// The reference board's DSDT: ReferenceDsdt.asl, compiled by iasl and
// embedded at build time (ReferenceDsdt.cmake).
#pragma once
#include <cstddef>

namespace sim {

extern const unsigned char kReferenceDsdtAml[];
extern const std::size_t kReferenceDsdtAmlSize;

} // namespace sim
