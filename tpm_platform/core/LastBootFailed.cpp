// "LastBootFailed" is deleted before every reset the driver asks for, so the
// reset is not taken for a failed boot.
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

VOID DeleteLastBootFailed() {
  UINT8 data[kLastBootFailedReadSize] = {};
  UINTN size = sizeof(data);
  if (EFI_ERROR(gRT->GetVariable(kLastBootFailedVariableName, &gLastBootFailedVariableGuid, nullptr,
                                 &size, data)))
    return;
  (void)gRT->SetVariable(kLastBootFailedVariableName, &gLastBootFailedVariableGuid,
                         EFI_VARIABLE_NON_VOLATILE, 0, nullptr);
}

} // namespace TpmPlatform
