#include "sim/board/BoardBus.h"

#include "sim/board/Board.h"
#include "sim/core/Errors.h"

#include <string>

namespace sim {

namespace {
class CurrentBoardBus final : public hw::HostBus {
public:
  uint32_t PortRead(uint16_t port, uint8_t width) override {
    return Board::Current().Io().Read(port, width);
  }
  void PortWrite(uint16_t port, uint8_t width, uint32_t value) override {
    Board::Current().Io().Write(port, width, value);
  }
  uint64_t MemoryRead(uint64_t address, uint8_t width) override {
    return Board::Current().Memory().Read(address, width);
  }
  void MemoryWrite(uint64_t address, uint8_t width, uint64_t value) override {
    Board::Current().Memory().Write(address, width, value);
  }
  void *ToPointer(uint64_t address) override {
    return Board::Current().Memory().ToPointer(address);
  }
  uint64_t ToPhysical(const void *pointer) override {
    return Board::Current().Memory().ToPhysical(pointer);
  }
  [[noreturn]] void Halt() override {
    Board &board = Board::Current();
    std::string context = board.Trace().Context();
    board.RecordHalt(context);
    throw ProcessorHalted{context};
  }
};
} // namespace

hw::HostBus &BoardBus() {
  static CurrentBoardBus bus;
  return bus;
}

} // namespace sim
