// CRC-32 as UEFI uses it (IEEE 802.3, reflected, initial and final XOR ~0).
#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {
uint32_t Crc32(const void *data, size_t size);
}
