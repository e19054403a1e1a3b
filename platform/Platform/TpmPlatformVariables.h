// The TPM platform driver's own UEFI variables and CMOS hand-over byte. These
// are stored formats read by another boot phase and by the operating system.
#pragma once
#include "Uefi/UefiBaseType.h"

// Non-volatile, boot-service and runtime access.
constexpr UINT32 kTpmPlatformVariableAttributes = 7;

// "ZELTCGPPIVAR": the physical-presence request and its last result.
inline constexpr EFI_GUID gPpiRequestVariableGuid = {
    0xA8A2093B, 0xFEFA, 0x43C1, {0x8E, 0x62, 0xCE, 0x52, 0x68, 0x47, 0x26, 0x5E}};
inline constexpr CHAR16 kPpiRequestVariableName[] = u"ZELTCGPPIVAR";

struct PpiRequestVariable {
  UINT8 Request;     // operation code while a request is recorded, else 0
  UINT8 LastRequest; // operation code last recorded
  UINT8 ResultLow;   // low 8 bits of the last result code
  UINT8 Reserved;    // not interpreted
  UINT8 ResultHigh;  // high 8 bits when the code lies in 0x0100..0xFFFE, else 0
};
static_assert(sizeof(PpiRequestVariable) == 5, "PpiRequestVariable size");
static_assert(__builtin_offsetof(PpiRequestVariable, ResultLow) == 2, "PpiRequestVariable");
static_assert(__builtin_offsetof(PpiRequestVariable, ResultHigh) == 4, "PpiRequestVariable");

// "TCG": TPM state hand-over bytes.
inline constexpr EFI_GUID gTcgStateVariableGuid = {
    0x962E8146, 0xE513, 0x4F64, {0xBA, 0x77, 0x67, 0x10, 0x1B, 0x99, 0x29, 0xDA}};
inline constexpr CHAR16 kTcgStateVariableName[] = u"TCG";

struct TcgStateVariable {
  UINT8 MfgStateClear;    // 1 when "OrvMfgData" byte 1 is 0
  UINT8 MfgStateSet;      // 1 when "OrvMfgData" byte 1 is not 0
  UINT8 PpiExecuted;      // 1 once a confirmed operation is handed to the next boot
  UINT8 Reserved;         // kept as read
  UINT8 ConfirmationMode; // written as 1; 2 waives the confirmation screen
  UINT8 Reserved5;        // written as 0
};
static_assert(sizeof(TcgStateVariable) == 6, "TcgStateVariable size");
static_assert(__builtin_offsetof(TcgStateVariable, PpiExecuted) == 2, "TcgStateVariable");
static_assert(__builtin_offsetof(TcgStateVariable, ConfirmationMode) == 4, "TcgStateVariable");

// "OrvMfgData": manufacturing data; byte 1 is the manufacturing TPM state flag.
inline constexpr EFI_GUID gMfgDataVariableGuid = {
    0x707C9176, 0xA4C1, 0x4E27, {0x85, 0x1D, 0x1C, 0x37, 0xB7, 0xCA, 0x73, 0xC8}};
inline constexpr CHAR16 kMfgDataVariableName[] = u"OrvMfgData";
constexpr UINTN kMfgDataReadSize = 7;
constexpr UINTN kMfgDataTpmStateOffset = 1;

// "LastBootFailed": deleted before every reset the driver requests.
inline constexpr EFI_GUID gLastBootFailedVariableGuid = {
    0xB540A530, 0x6978, 0x4DA7, {0x91, 0xCB, 0x72, 0x07, 0xD7, 0x64, 0xD2, 0x62}};
inline constexpr CHAR16 kLastBootFailedVariableName[] = u"LastBootFailed";
constexpr UINTN kLastBootFailedReadSize = 4;

// CMOS register 0x6F: 1 while a recorded operation waits for the next boot.
constexpr UINT16 kCmosIndexPort = 0x70;
constexpr UINT16 kCmosDataPort = 0x71;
constexpr UINT8 kCmosPpiFlagRegister = 0x6F;
