#include "sim/setup/PasswordService.h"
#include "sim/board/Board.h"
#include "sim/board/BootSequence.h"
#include "sim/core/Text.h"
#include "sim/smm/SmmComponent.h"

#include <cstring>

namespace sim {

namespace {

PasswordService &Self() {
  auto *service = Board::Current().Find<PasswordService>();
  if (service == nullptr)
    throw std::logic_error("password service called without its component");
  return *service;
}

// The driver passes pointers into memory the OS filled: no alignment promised.
std::u16string ReadUnits(const VOID *from, size_t bytes) {
  std::u16string text(bytes / 2, u'\0');
  std::memcpy(text.data(), from, text.size() * 2);
  return text;
}

} // namespace

void PasswordService::Configure(ConfigSection &section) {
  present_ = section.Bool("present", false);
  if (section.Has("admin_password"))
    password_ = ToUtf16(section.String("admin_password", ""));
  if (section.Has("state"))
    stateOverride_ = uint32_t(section.Integer("state", 0, 0, UINT32_MAX));
}

void PasswordService::AttachPhases(BootSequence &sequence) {
  // The SMM core exists from power-on; the service joins its protocol
  // database with the other board protocols.
  sequence.Attach("board-protocols", "password_service", [this](Board &board) {
    auto *smm = board.Find<SmmComponent>();
    if (present_ && smm != nullptr)
      smm->Core().InstallSmmProtocol(gPasswordServiceProtocolGuid, &protocol_);
  });
}

void PasswordService::PowerOn(Board &board) {
  (void)board;
  protocol_ = {};
  protocol_.CheckPassword = CheckPassword;
  protocol_.GetPasswordState = GetPasswordState;
  checks_.clear();
  stateCalls_ = 0;
}

void PasswordService::SetAdminPassword(std::optional<std::u16string> password) {
  password_ = std::move(password);
}

uint32_t PasswordService::State() const {
  if (stateOverride_)
    return *stateOverride_;
  return password_ ? 1 : PASSWORD_STATE_NO_ADMIN_PASSWORD;
}

EFI_STATUS EFIAPI PasswordService::CheckPassword(const CHAR16 *Name, UINTN Kind,
                                                 const CHAR16 *Password, UINTN Length) {
  PasswordService &self = Self();
  if (auto fault = Board::Current().Faults().Check("PasswordService.CheckPassword"))
    return *fault;
  CheckCall call{Name ? std::u16string(Name, WideLength(Name, 256)) : u"", Kind,
                 Password ? ReadUnits(Password, Length) : u"", Length};
  self.checks_.push_back(call);
  if (call.Name != u"AdminPW" || Kind != 1 || !self.password_ || Length % 2 != 0)
    return EFI_ACCESS_DENIED;
  return call.Password == *self.password_ ? EFI_SUCCESS : EFI_ACCESS_DENIED;
}

EFI_STATUS EFIAPI PasswordService::GetPasswordState(UINT32 *State) {
  PasswordService &self = Self();
  ++self.stateCalls_;
  if (auto fault = Board::Current().Faults().Check("PasswordService.GetPasswordState"))
    return *fault;
  if (State == nullptr)
    return EFI_INVALID_PARAMETER;
  *State = self.State();
  return EFI_SUCCESS;
}

std::unique_ptr<Component> MakePasswordService() {
  return std::make_unique<PasswordService>();
}

} // namespace sim
