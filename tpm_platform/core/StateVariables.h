// The driver's persistent state: "ZELTCGPPIVAR", "TCG", "OrvMfgData",
// "LastBootFailed", the "Setup" bytes kept in line with the TPM, and CMOS
// register 0x6F. Layouts: Platform/TpmPlatformVariables.h, Platform/SetupData.h.
#pragma once
#include "Platform/SetupData.h"
#include "Platform/TpmPlatformVariables.h"

namespace TpmPlatform {

EFI_STATUS ReadPpiRequestVariable(PpiRequestVariable *Request);
EFI_STATUS WritePpiRequestVariable(const PpiRequestVariable *Request);
// Byte 0 of "ZELTCGPPIVAR" becomes 0; creates the variable when absent.
VOID ClearPpiRequest();
// Writes {Operation, Operation, 0, 0, 0} without reading first.
EFI_STATUS RecordPpiRequest(UINT8 Operation);
// Stores a result code; writes nothing when the variable cannot be read.
VOID RecordPpiResult(UINT16 ResultCode);
// Stores the result of the request for Operation being processed. A variable
// that is there but fails to read is rebuilt around the operation, so the
// request's own bytes (result 0) never stand for a refused or failed one.
VOID RecordPpiRequestResult(UINT8 Operation, UINT16 ResultCode);

EFI_STATUS ReadTcgStateVariable(TcgStateVariable *Tcg);
EFI_STATUS WriteTcgStateVariable(const TcgStateVariable *Tcg);
VOID RebuildTcgStateVariable();
EFI_STATUS SyncTcgStateVariable();
EFI_STATUS MarkPpiExecuted();

VOID WritePpiCmosFlag(UINT8 Value);

// Reads "Setup" into a 928-byte buffer (zero-filled first); a larger variable
// is unreadable. Attributes and Size may be NULL.
EFI_STATUS ReadSetupVariable(SetupData *Setup, UINT32 *Attributes, UINTN *Size);

EFI_STATUS SyncSetupWithTpm();
VOID UpdateSetupTpmEnable(BOOLEAN Disabled);

// Reads "Setup" into a new boot-services pool buffer that the caller frees.
// On failure *Buffer is NULL; *Size (when asked) is the size the read reported.
EFI_STATUS ReadSetupAllocated(UINT8 **Buffer, UINT32 *Attributes, UINTN *Size);

VOID DeleteLastBootFailed();

} // namespace TpmPlatform
