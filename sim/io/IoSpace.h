// The I/O port space. Devices claim port ranges; an access goes to the device
// that claims its first port. Unclaimed ports read all ones (0xFF, 0xFFFF,
// 0xFFFFFFFF) and writes to them go nowhere; every access is traced.
#pragma once
#include "sim/io/AccessTrace.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

struct PortHandler {
  std::string Device;
  // width in bytes: 1, 2 or 4. Missing callbacks: reads give all ones, writes
  // are ignored (still traced under the device's name).
  std::function<uint32_t(uint16_t port, uint8_t width)> Read;
  std::function<void(uint16_t port, uint8_t width, uint32_t value)> Write;
};

class IoSpace {
public:
  explicit IoSpace(AccessTrace &trace) : trace_(trace) {}

  // Claims [first, first + count). Overlapping claims are a board error.
  void Claim(uint16_t first, uint32_t count, PortHandler handler);
  uint32_t Read(uint16_t port, uint8_t width);
  void Write(uint16_t port, uint8_t width, uint32_t value);
  // The device claiming a port, or empty.
  std::string DeviceAt(uint16_t port) const;

private:
  struct Range {
    uint16_t First;
    uint32_t Count;
    PortHandler Handler;
  };
  const Range *Find(uint16_t port) const;

  AccessTrace &trace_;
  std::vector<Range> ranges_;
};

} // namespace sim
