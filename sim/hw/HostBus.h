// The narrow interface the host backend of support/Hw.h stands on: port and
// memory cycles, the translation between physical addresses and host
// pointers, and the processor halt. The board implements it and installs it;
// the backend knows nothing else of the board.
#pragma once
#include <cstdint>

namespace sim::hw {

class HostBus {
public:
  virtual uint32_t PortRead(uint16_t port, uint8_t width) = 0;
  virtual void PortWrite(uint16_t port, uint8_t width, uint32_t value) = 0;
  virtual uint64_t MemoryRead(uint64_t address, uint8_t width) = 0;
  virtual void MemoryWrite(uint64_t address, uint8_t width, uint64_t value) = 0;
  virtual void *ToPointer(uint64_t address) = 0;
  virtual uint64_t ToPhysical(const void *pointer) = 0;
  // Must not return: on the host a halt unwinds out of the running handler.
  [[noreturn]] virtual void Halt() = 0;

protected:
  ~HostBus() = default;
};

// The bus every later hardware access goes to (nullptr: none, every access
// throws std::logic_error). Returns the bus installed before.
HostBus *InstallHostBus(HostBus *bus);

} // namespace sim::hw
