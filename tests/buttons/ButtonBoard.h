// A board with ButtonSmm started in SMM, and the actions the button tests
// take on it: EC button changes, the OS's command buffer and software SMIs,
// the "Setup" password guard and the password service.
#pragma once
#include "Platform/SmmCommandBuffer.h"
#include "sim/setup/PasswordService.h"
#include "smm/SmmBoard.h"

#include "sim/core/Text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace buttontest {

using sim::json;

inline constexpr EFI_GUID kSetupGuid = {
    0xEC87D643, 0xEBA4, 0x4BB5, {0xA1, 0xE5, 0x3F, 0x3E, 0x36, 0xB2, 0x0D, 0xA9}};

// The EC state-byte bit of each button, in table order.
inline constexpr uint8_t kVolumeUp = 0x01, kVolumeDown = 0x02, kBrightnessUp = 0x04,
                         kBrightnessDown = 0x10, kVolumeMute = 0x20;

struct Reply {
  uint32_t Status;
  uint32_t Value;
  uint32_t Settings;
  uint32_t DefaultSettings;
  std::vector<std::u16string> Strings;
};

class ButtonBoard : public smmtest::SmmBoard {
public:
  explicit ButtonBoard(json smm = json::object(),
                       std::function<void(smmtest::SmmBoard &)> beforeSequence = {})
      : SmmBoard(std::move(smm), {}, [before = std::move(beforeSequence)](smmtest::SmmBoard &b) {
          // The board installs no password service unless asked to.
          b.Part<sim::PasswordService>().SetPresent(true);
          if (before)
            before(b);
        }) {}

  sim::EmbeddedController &Ec() { return Chipset().Ec(); }
  sim::PasswordService &Passwords() { return Part<sim::PasswordService>(); }
  void SetAcpiMode(bool on) { Chipset().Ports().SetAcpiMode(on); }

  std::vector<uint8_t> TakeKeys() {
    std::vector<uint8_t> keys = Ec().KeyboardStream();
    Ec().ClearKeyboardStream();
    return keys;
  }

  // "Setup" with byte 771 = guard (no variable at all when guard < 0).
  void SetPasswordGuard(int guard) {
    Board().Variables().Erase(u"Setup", kSetupGuid);
    if (guard < 0)
      return;
    std::vector<uint8_t> setup(928, 0);
    setup[771] = uint8_t(guard);
    Board().Variables().Set(u"Setup", &kSetupGuid, 7, setup.size(), setup.data());
  }

  // Fills the buffer (status word kept), raises SMI 0xE3 and reads `strings`
  // strings of the reply.
  Reply Command(uint32_t command, const std::vector<std::u16string> &strings, uint32_t argument = 0,
                uint32_t settings = 0, uint32_t defaults = 0, size_t replyStrings = 2) {
    Smm().Os().SendButtonRequest(command, strings, argument, settings, defaults);
    return Read(replyStrings);
  }

  Reply Read(size_t strings = 2) {
    sim::OsCommandBuffer os = Smm().Os();
    return {os.Read32(kCbStatus), os.Read32(kCbValue), os.Read32(kCbSettings),
            os.Read32(kCbDefaultSettings), os.ReadStrings(strings)};
  }

  // SMI 0xE0: get (returns the percent) or set.
  uint32_t GetBrightness() {
    sim::OsCommandBuffer os = Smm().Os();
    os.Write32(kCbArgument, 0);
    os.RaiseSoftwareSmi(kCbSmiBrightness);
    return os.Read32(kCbValue);
  }
  void SetBrightness(uint32_t percent) {
    sim::OsCommandBuffer os = Smm().Os();
    os.Write32(kCbValue, percent);
    os.Write32(kCbArgument, 1);
    os.RaiseSoftwareSmi(kCbSmiBrightness);
  }
};

} // namespace buttontest
