// The APM ports of the chipset: a write to the control port 0xB2 raises a
// software SMI carrying the written value; the status port 0xB3 is a byte the
// caller of the SMI and its handler share.
#pragma once
#include "sim/io/IoSpace.h"

#include <cstdint>
#include <functional>

namespace sim {

class ApmPort {
public:
  static constexpr uint16_t kControlPort = 0xB2;
  static constexpr uint16_t kStatusPort = 0xB3;

  void Attach(IoSpace &io);
  uint8_t Status() const { return status_; }

  // Called for every write to the control port.
  std::function<void(uint8_t value)> OnSmi;

private:
  uint8_t status_ = 0;
};

} // namespace sim
