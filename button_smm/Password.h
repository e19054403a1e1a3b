// The administrator-password guard of the changing commands.
#pragma once
#include "button_smm/CommandBuffer.h"
#include "button_smm/Globals.h"

namespace ButtonSmm {

BOOLEAN PasswordRequired();
BOOLEAN CheckAdminPassword(const WideSpan *Password);

} // namespace ButtonSmm
