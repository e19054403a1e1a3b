// The embedded controller as the host sees it: 4 KiB of EC RAM behind a page
// register (port 0x8FF, bits 8 to 11 of the address) and a window of one port
// per byte of the page (0x800 to 0x8FE); port 0xA03 holds the page the OS
// uses, which SMM code puts back after its own accesses.
//
// The EC's own side: the button state byte (0x6C9) and event register (0x6C1,
// write-1-to-clear) with GPI 6 raised on every change; the key-code slots
// 0x690.. that it moves into the keyboard stream when 0x6D5 bit 0 is set; the
// backlight level 0x6A8 (committed by writing 0x21 to 0x6E3).
#pragma once
#include "sim/io/IoSpace.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

class EmbeddedController {
public:
  static constexpr size_t kRamSize = 4096;
  static constexpr uint16_t kPagePort = 0x8FF;
  static constexpr uint16_t kWindowBase = 0x800;
  static constexpr uint16_t kPageRestorePort = 0xA03;

  static constexpr uint16_t kEventRegister = 0x6C1;
  static constexpr uint16_t kButtonState = 0x6C9;
  static constexpr uint16_t kKeySlots = 0x690;
  static constexpr uint8_t kKeySlotCount = 15;
  static constexpr uint16_t kKeySlotStatus = 0x6D5;
  static constexpr uint16_t kBacklightLevel = 0x6A8;
  static constexpr uint16_t kBacklightCommit = 0x6E3;
  static constexpr uint16_t kRepeatTiming = 0x6E4;

  static constexpr uint8_t kButtonEvent = 0x01; // event register bit of a button change
  static constexpr unsigned kButtonGpi = 6;

  // A byte the EC is slow to serve: its window reads 0xFF the first time after
  // the page register was written, or always.
  enum class Busy { None, Once, Always };

  struct Options {
    uint8_t PageRestore = 0xC3; // port 0xA03: the OS's page in the low nibble
    Busy BusyMode = Busy::None;
    uint16_t BusyAddress = kButtonState;
    bool TakeKeyCodes = true; // false: the EC never takes the slots
    std::map<uint16_t, uint8_t> InitialRam = {{kBacklightLevel, 152}};
  };

  EmbeddedController();
  explicit EmbeddedController(Options options);

  void Attach(IoSpace &io);

  uint8_t Ram(uint16_t address) const { return ram_[address % kRamSize]; }
  void SetRam(uint16_t address, uint8_t value) { ram_[address % kRamSize] = value; }
  uint8_t PageRegister() const { return page_; }
  const Options &Config() const { return options_; }

  // ---- Buttons: every change sets the event bit and raises GPI 6 -----------
  std::function<void(unsigned gpi)> RaiseGpi;
  void Press(uint8_t mask);
  void Release(uint8_t mask);
  // The EC's repeat while buttons stay held: same state, a new event.
  void Hold();
  uint8_t Buttons() const { return Ram(kButtonState); }

  // ---- Key codes ---------------------------------------------------------------
  // Takes pending slot codes into the keyboard stream and clears the hand-over
  // (the EC does this whenever the host has released the window).
  void ServiceKeySlots();
  const std::vector<uint8_t> &KeyboardStream() const { return keyboard_; }
  void ClearKeyboardStream() { keyboard_.clear(); }

  // ---- Backlight -------------------------------------------------------------
  uint8_t BacklightLevel() const { return Ram(kBacklightLevel); }
  void SetBacklightLevel(uint8_t level) { SetRam(kBacklightLevel, level); }
  unsigned BacklightCommits() const { return commits_; }

  // ---- S3 ---------------------------------------------------------------------
  // The EC stays powered in S3 but drops the host's button configuration
  // (0x6C5, 0x6E5, 0x6F3 to 0x6F5) and its page register.
  void Suspend();
  static const std::vector<uint16_t> &HostConfiguredBytes();

private:
  uint8_t ReadWindow(uint8_t offset);
  void WriteWindow(uint8_t offset, uint8_t value);
  void RaiseButtonEvent();

  Options options_;
  std::array<uint8_t, kRamSize> ram_{};
  uint8_t page_ = 0;
  bool busyServed_ = false;
  unsigned commits_ = 0;
  std::vector<uint8_t> keyboard_;
};

} // namespace sim
