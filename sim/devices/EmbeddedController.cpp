#include "sim/devices/EmbeddedController.h"

namespace sim {

EmbeddedController::EmbeddedController() : EmbeddedController(Options{}) {}

EmbeddedController::EmbeddedController(Options options) : options_(std::move(options)) {
  for (auto [address, value] : options_.InitialRam)
    SetRam(address, value);
}

void EmbeddedController::Attach(IoSpace &io) {
  io.Claim(kWindowBase, 0x100,
           {"ec",
            [this](uint16_t port, uint8_t) -> uint32_t {
              if (port == kPagePort)
                return page_;
              return ReadWindow(uint8_t(port - kWindowBase));
            },
            [this](uint16_t port, uint8_t, uint32_t value) {
              if (port == kPagePort) {
                page_ = uint8_t(value & 0x0F);
                busyServed_ = false;
                return;
              }
              WriteWindow(uint8_t(port - kWindowBase), uint8_t(value));
            }});
  io.Claim(kPageRestorePort, 1,
           {"ec", [this](uint16_t, uint8_t) -> uint32_t { return options_.PageRestore; }, {}});
}

uint8_t EmbeddedController::ReadWindow(uint8_t offset) {
  uint16_t address = uint16_t(page_ << 8 | offset);
  if (options_.BusyMode != Busy::None && address == options_.BusyAddress) {
    if (options_.BusyMode == Busy::Always)
      return 0xFF;
    if (!busyServed_) {
      busyServed_ = true;
      return 0xFF;
    }
  }
  return Ram(address);
}

void EmbeddedController::WriteWindow(uint8_t offset, uint8_t value) {
  uint16_t address = uint16_t(page_ << 8 | offset);
  if (address == kEventRegister) {
    // Writing back the bits read acknowledges them.
    SetRam(address, uint8_t(Ram(address) & ~value));
    return;
  }
  SetRam(address, value);
  if (address == kBacklightCommit && value == 0x21)
    ++commits_;
}

void EmbeddedController::RaiseButtonEvent() {
  SetRam(kEventRegister, uint8_t(Ram(kEventRegister) | kButtonEvent));
  if (RaiseGpi)
    RaiseGpi(kButtonGpi);
}

void EmbeddedController::Press(uint8_t mask) {
  SetRam(kButtonState, uint8_t(Buttons() | mask));
  RaiseButtonEvent();
}

void EmbeddedController::Release(uint8_t mask) {
  SetRam(kButtonState, uint8_t(Buttons() & ~mask));
  RaiseButtonEvent();
}

void EmbeddedController::Hold() {
  RaiseButtonEvent();
}

void EmbeddedController::ServiceKeySlots() {
  uint8_t status = Ram(kKeySlotStatus);
  if (!options_.TakeKeyCodes || (status & 0x01) == 0)
    return;
  unsigned count = status >> 4;
  if (count > kKeySlotCount)
    count = kKeySlotCount;
  for (unsigned slot = 0; slot < count; ++slot)
    keyboard_.push_back(Ram(uint16_t(kKeySlots + slot)));
  SetRam(kKeySlotStatus, 0);
}

const std::vector<uint16_t> &EmbeddedController::HostConfiguredBytes() {
  static const std::vector<uint16_t> bytes = {0x6C5, 0x6E5, 0x6F3, 0x6F4, 0x6F5};
  return bytes;
}

void EmbeddedController::Suspend() {
  for (uint16_t address : HostConfiguredBytes())
    SetRam(address, 0);
  page_ = 0;
}

} // namespace sim
