// The password string of the changing SMI commands, which the operating system
// writes into the shared command buffer: the "<UTF-16/>" marker (either case,
// spaces allowed before each of its characters) and the password after it.
//
// Input: byte 0 is the password state the service reports; the rest, as
// UTF-16LE units, is the span (an odd last byte is dropped). The service is
// the harness's own: it records what the driver hands it. Checks: nothing is
// read outside the span (ASan), the marker is accepted exactly as an
// independent reading says, the service gets exactly the units after the
// marker (length in bytes), and the empty password is accepted only while no
// administrator password is set.
#include "Platform/PasswordServiceProtocol.h"
#include "button_smm/Password.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

struct Seen {
  bool Checked = false;
  bool StateRead = false;
  const CHAR16 *Password = nullptr;
  UINTN Length = 0;
  UINT32 State = 0;
} seen;

EFI_STATUS EFIAPI CheckPassword(const CHAR16 *Name, UINTN Kind, const CHAR16 *Password,
                                UINTN Length) {
  Require(Name != nullptr && Kind == 1);
  seen.Checked = true;
  seen.Password = Password;
  seen.Length = Length;
  // Accept a password that starts with 'k', so both answers are exercised.
  return Length >= 2 && reinterpret_cast<const uint8_t *>(Password)[0] == 'k' ? EFI_SUCCESS
                                                                              : EFI_ACCESS_DENIED;
}

EFI_STATUS EFIAPI GetPasswordState(UINT32 *State) {
  seen.StateRead = true;
  *State = seen.State;
  return EFI_SUCCESS;
}

PASSWORD_SERVICE_PROTOCOL service = {{}, CheckPassword, {}, GetPasswordState};

uint16_t Unit(const uint8_t *units, size_t count, size_t i) {
  return i < count ? uint16_t(units[2 * i] | (units[2 * i + 1] << 8)) : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  seen = Seen{};
  seen.State = data[0] % 4;
  const size_t units = (size - 1) / 2;
  std::unique_ptr<uint8_t[]> text(new uint8_t[units * 2 + 1]);
  std::memcpy(text.get(), data + 1, units * 2);
  ButtonSmm::gPasswordService = &service;
  ButtonSmm::WideSpan span{text.get(), units};
  const BOOLEAN accepted = ButtonSmm::CheckAdminPassword(&span);

  // The oracle: the marker, then the rest.
  static const char kUpper[] = "<UTF-16/>";
  static const char kLower[] = "<utf-16/>";
  size_t at = 0;
  bool marker = true;
  if (units != 0) {
    for (size_t i = 0; i < 9 && marker; ++i) {
      while (Unit(text.get(), units, at) == ' ')
        ++at;
      uint16_t u = Unit(text.get(), units, at);
      marker = u == uint8_t(kUpper[i]) || u == uint8_t(kLower[i]);
      ++at;
    }
  }
  if (!marker) {
    Require(!accepted && !seen.Checked && !seen.StateRead);
    return 0;
  }
  Require(at <= units);
  if (at < units) {
    Require(seen.Checked && !seen.StateRead);
    Require(reinterpret_cast<const uint8_t *>(seen.Password) == text.get() + 2 * at);
    Require(seen.Length == 2 * (units - at));
    Require(bool(accepted) == (text[2 * at] == 'k'));
  } else {
    Require(seen.StateRead && !seen.Checked);
    Require(bool(accepted) == (seen.State == PASSWORD_STATE_NO_ADMIN_PASSWORD));
  }
  return 0;
}
