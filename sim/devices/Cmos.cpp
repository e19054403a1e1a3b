#include "sim/devices/Cmos.h"

#include "sim/core/Errors.h"

namespace sim {

void CmosRam::Attach(IoSpace &io) {
  io.Claim(kIndexPort, 2,
           PortHandler{"cmos",
                       [this](uint16_t port, uint8_t) -> uint32_t {
                         return port == kIndexPort ? index_ : bytes_[index_ & 0x7F];
                       },
                       [this](uint16_t port, uint8_t, uint32_t value) {
                         if (port == kIndexPort)
                           index_ = uint8_t(value);
                         else
                           bytes_[index_ & 0x7F] = uint8_t(value);
                       }});
}

void CmosRam::Load(const std::vector<uint8_t> &bytes, const std::string &origin) {
  if (bytes.size() != kSize)
    throw SimulationError(origin + ": CMOS state must be " + std::to_string(kSize) +
                          " bytes, found " + std::to_string(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

} // namespace sim
