// The firmware setup component's password service, as the button driver sees
// it in SMM: an administrator password (set or not) behind
// PasswordServiceProtocol. Every call is recorded so tests can tell whether
// and with what the driver asked.
//
// Board file, section "password_service":
//   "present": true             install the protocol in SMM (default: absent)
//   "admin_password": "secret"  the administrator password (absent: none set)
//   "state": 2                  what GetPasswordState reports (default: 2 when
//                               no password is set, else 1)
#pragma once
#include "Platform/PasswordServiceProtocol.h"
#include "sim/board/Component.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class PasswordService : public Component {
public:
  struct CheckCall {
    std::u16string Name;
    uint64_t Kind;
    std::u16string Password; // the Length bytes the driver passed
    uint64_t Length;
  };

  std::string_view Name() const override { return "password_service"; }
  void Configure(ConfigSection &section) override;
  void AttachPhases(BootSequence &sequence) override;
  void PowerOn(Board &board) override;

  bool Present() const { return present_; }
  void SetPresent(bool present) { present_ = present; }
  void SetAdminPassword(std::optional<std::u16string> password);
  void SetState(std::optional<uint32_t> state) { stateOverride_ = state; }
  uint32_t State() const;

  PASSWORD_SERVICE_PROTOCOL *Interface() { return &protocol_; }
  const std::vector<CheckCall> &CheckCalls() const { return checks_; }
  unsigned StateCalls() const { return stateCalls_; }
  void ClearCalls() {
    checks_.clear();
    stateCalls_ = 0;
  }

private:
  static EFI_STATUS EFIAPI CheckPassword(const CHAR16 *Name, UINTN Kind, const CHAR16 *Password,
                                         UINTN Length);
  static EFI_STATUS EFIAPI GetPasswordState(UINT32 *State);

  bool present_ = false;
  std::optional<std::u16string> password_;
  std::optional<uint32_t> stateOverride_;
  PASSWORD_SERVICE_PROTOCOL protocol_{};
  std::vector<CheckCall> checks_;
  unsigned stateCalls_ = 0;
};

std::unique_ptr<Component> MakePasswordService();

} // namespace sim
