// The administrator-password guard of the changing commands.
#pragma once
#include "button_smm/CommandBuffer.h"

struct PASSWORD_SERVICE_PROTOCOL;

namespace ButtonSmm {

// Looked up on first use and kept once found.
extern PASSWORD_SERVICE_PROTOCOL *gPasswordService;

BOOLEAN PasswordRequired();
BOOLEAN CheckAdminPassword(const WideSpan *Password);

} // namespace ButtonSmm
