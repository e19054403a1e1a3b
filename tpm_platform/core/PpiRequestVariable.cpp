// "ZELTCGPPIVAR": the pending physical-presence request and its last result.
#include "Platform/TpmPlatformVariables.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

namespace {

constexpr UINTN kSize = sizeof(PpiRequestVariable);

EFI_STATUS ReadPpiRequestSized(UINT8 *Buffer5, UINTN *Size) {
  *Size = kSize;
  return gRT->GetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid, nullptr, Size,
                          Buffer5);
}

// The variable is there but the store failed to read it (absent and
// oversized variables have statuses of their own).
BOOLEAN StoreFailedRead(EFI_STATUS Status) {
  return EFI_ERROR(Status) && Status != EFI_NOT_FOUND && Status != EFI_BUFFER_TOO_SMALL;
}

VOID StoreResult(UINT8 *Request, UINTN Size, UINT16 ResultCode) {
  Request[__builtin_offsetof(PpiRequestVariable, Request)] = 0;
  Request[__builtin_offsetof(PpiRequestVariable, ResultLow)] = UINT8(ResultCode);
  Request[__builtin_offsetof(PpiRequestVariable, ResultHigh)] =
      (ResultCode >= 0x0100 && ResultCode <= 0xFFFE) ? UINT8(ResultCode >> 8) : 0;
  (void)gRT->SetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid,
                         kTpmPlatformVariableAttributes, Size, Request);
}

} // namespace

EFI_STATUS ReadPpiRequestVariable(UINT8 *Buffer5) {
  UINTN size;
  return ReadPpiRequestSized(Buffer5, &size);
}

EFI_STATUS WritePpiRequestVariable(const UINT8 *Buffer5) {
  return gRT->SetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid,
                          kTpmPlatformVariableAttributes, kSize, Buffer5);
}

VOID ClearPpiRequest() {
  // An absent or oversized variable is recreated from zeros. One the store
  // fails to read is left as it is: zeros would erase the last operation and
  // its result, and read as a finished operation 0.
  UINT8 request[kSize] = {};
  if (StoreFailedRead(ReadPpiRequestVariable(request)))
    return;
  request[__builtin_offsetof(PpiRequestVariable, Request)] = 0;
  (void)WritePpiRequestVariable(request);
}

EFI_STATUS RecordPpiRequest(UINT8 Operation) {
  const UINT8 request[kSize] = {Operation, Operation, 0, 0, 0};
  return WritePpiRequestVariable(request);
}

VOID RecordPpiResult(UINT16 ResultCode) {
  UINT8 request[kSize] = {};
  UINTN size;
  if (EFI_ERROR(ReadPpiRequestSized(request, &size)))
    return;
  StoreResult(request, size, ResultCode);
}

VOID RecordPpiRequestResult(UINT8 Operation, UINT16 ResultCode) {
  UINT8 request[kSize] = {};
  UINTN size;
  EFI_STATUS status = ReadPpiRequestSized(request, &size);
  if (StoreFailedRead(status)) {
    const UINT8 rebuilt[kSize] = {0, Operation, 0, 0, 0};
    CopyBytes(request, rebuilt, kSize);
    size = kSize;
  } else if (EFI_ERROR(status)) {
    return;
  }
  StoreResult(request, size, ResultCode);
}

} // namespace TpmPlatform
