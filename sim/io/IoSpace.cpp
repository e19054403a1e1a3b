#include "sim/io/IoSpace.h"

#include "sim/core/Errors.h"
#include "sim/core/Text.h"

namespace sim {

namespace {
uint32_t AllOnes(uint8_t width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}
} // namespace

void IoSpace::Claim(uint16_t first, uint32_t count, PortHandler handler) {
  if (count == 0 || first + count > 0x10000)
    throw SimulationError("device " + handler.Device + ": bad port range " + HexNumber(first, 4) +
                          "+" + std::to_string(count));
  for (const auto &r : ranges_)
    if (first < r.First + r.Count && r.First < first + count)
      throw SimulationError("device " + handler.Device + " claims ports " + HexNumber(first, 4) +
                            "..." + HexNumber(first + count - 1, 4) + " already claimed by " +
                            r.Handler.Device);
  ranges_.push_back({first, count, std::move(handler)});
}

const IoSpace::Range *IoSpace::Find(uint16_t port) const {
  for (const auto &r : ranges_)
    if (port >= r.First && port < r.First + r.Count)
      return &r;
  return nullptr;
}

std::string IoSpace::DeviceAt(uint16_t port) const {
  const Range *r = Find(port);
  return r ? r->Handler.Device : std::string();
}

uint32_t IoSpace::Read(uint16_t port, uint8_t width) {
  const Range *r = Find(port);
  uint32_t value = AllOnes(width);
  std::string device;
  if (r != nullptr) {
    device = r->Handler.Device;
    if (r->Handler.Read)
      value = r->Handler.Read(port, width) & AllOnes(width);
  }
  trace_.Record({0, AccessSpace::Port, AccessKind::Read, port, width, value, device, {}});
  return value;
}

void IoSpace::Write(uint16_t port, uint8_t width, uint32_t value) {
  value &= AllOnes(width);
  const Range *r = Find(port);
  std::string device = r ? r->Handler.Device : std::string();
  // Traced first: a write that halts the machine is still seen.
  trace_.Record({0, AccessSpace::Port, AccessKind::Write, port, width, value, device, {}});
  if (r != nullptr && r->Handler.Write)
    r->Handler.Write(port, width, value);
}

} // namespace sim
