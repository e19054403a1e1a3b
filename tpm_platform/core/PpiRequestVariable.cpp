// "ZELTCGPPIVAR": the pending physical-presence request and its last result.
#include "Platform/TpmPlatformVariables.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/core/StateVariables.h"

namespace TpmPlatform {

namespace {

EFI_STATUS ReadPpiRequestSized(PpiRequestVariable *Request, UINTN *Size) {
  *Size = sizeof(*Request);
  return gRT->GetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid, nullptr, Size,
                          Request);
}

// The variable is there but the store failed to read it (absent and
// oversized variables have statuses of their own).
BOOLEAN StoreFailedRead(EFI_STATUS Status) {
  return EFI_ERROR(Status) && Status != EFI_NOT_FOUND && Status != EFI_BUFFER_TOO_SMALL;
}

// Writes back Size bytes: a short variable keeps its size.
VOID StoreResult(PpiRequestVariable *Request, UINTN Size, UINT16 ResultCode) {
  Request->Request = 0;
  Request->ResultLow = UINT8(ResultCode);
  Request->ResultHigh = (ResultCode >= 0x0100 && ResultCode <= 0xFFFE) ? UINT8(ResultCode >> 8) : 0;
  (void)gRT->SetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid,
                         kTpmPlatformVariableAttributes, Size, Request);
}

} // namespace

EFI_STATUS ReadPpiRequestVariable(PpiRequestVariable *Request) {
  UINTN size;
  return ReadPpiRequestSized(Request, &size);
}

EFI_STATUS WritePpiRequestVariable(const PpiRequestVariable *Request) {
  return gRT->SetVariable(kPpiRequestVariableName, &gPpiRequestVariableGuid,
                          kTpmPlatformVariableAttributes, sizeof(*Request), Request);
}

VOID ClearPpiRequest() {
  // An absent or oversized variable is recreated from zeros. One the store
  // fails to read is left as it is: zeros would erase the last operation and
  // its result, and read as a finished operation 0.
  PpiRequestVariable request = {};
  if (StoreFailedRead(ReadPpiRequestVariable(&request)))
    return;
  request.Request = 0;
  (void)WritePpiRequestVariable(&request);
}

EFI_STATUS RecordPpiRequest(UINT8 Operation) {
  const PpiRequestVariable request = {Operation, Operation, 0, 0, 0};
  return WritePpiRequestVariable(&request);
}

VOID RecordPpiResult(UINT16 ResultCode) {
  PpiRequestVariable request = {};
  UINTN size;
  if (EFI_ERROR(ReadPpiRequestSized(&request, &size)))
    return;
  StoreResult(&request, size, ResultCode);
}

VOID RecordPpiRequestResult(UINT8 Operation, UINT16 ResultCode) {
  PpiRequestVariable request = {};
  UINTN size;
  EFI_STATUS status = ReadPpiRequestSized(&request, &size);
  if (StoreFailedRead(status)) {
    request = {0, Operation, 0, 0, 0};
    size = sizeof(request);
  } else if (EFI_ERROR(status)) {
    return;
  }
  StoreResult(&request, size, ResultCode);
}

} // namespace TpmPlatform
