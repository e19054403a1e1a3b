// "LastBootFailed" is deleted before every reset the driver asks for, so the
// reset is not taken for a failed boot.
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

VOID DeleteLastBootFailed() {
  UINT8 data[kLastBootFailedReadSize] = {};
  UINTN size = sizeof(data);
  UINT32 attributes = 0;
  if (EFI_ERROR(gRT->GetVariable(kLastBootFailedVariableName, &gLastBootFailedVariableGuid,
                                 &attributes, &size, data)))
    return;
  if (!EFI_ERROR(gRT->SetVariable(kLastBootFailedVariableName, &gLastBootFailedVariableGuid,
                                  EFI_VARIABLE_NON_VOLATILE, 0, nullptr)))
    return;
  // A store that refuses a rewrite with attributes other than the variable's
  // keeps it after the call above; its own attributes delete it there too.
  (void)gRT->SetVariable(kLastBootFailedVariableName, &gLastBootFailedVariableGuid, attributes, 0,
                         nullptr);
}

} // namespace TpmPlatform
