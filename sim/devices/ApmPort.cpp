#include "sim/devices/ApmPort.h"

namespace sim {

void ApmPort::Attach(IoSpace &io) {
  io.Claim(
      kControlPort, 2,
      {"apm",
       [this](uint16_t port, uint8_t) -> uint32_t { return port == kControlPort ? 0 : status_; },
       [this](uint16_t port, uint8_t, uint32_t value) {
         if (port != kControlPort)
           status_ = uint8_t(value);
         else if (OnSmi)
           OnSmi(uint8_t(value));
       }});
}

} // namespace sim
