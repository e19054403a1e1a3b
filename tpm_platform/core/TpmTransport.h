// TPM 1.2 command transport over EFI_TCG_PROTOCOL.PassThroughToTpm and the
// capability reads. Wire format big-endian.
#pragma once
#include "Tcg/TcgProtocol.h"

namespace TpmPlatform {

// First 36 bytes of a TPM_GetCapability(TPM_CAP_FLAG_PERMANENT) response.
struct TpmPermanentFlagsRecord {
  UINT8 ResponseHeader[6]; // tag, paramSize
  UINT8 ReturnCode[4];     // as received
  UINT8 RespSize[4];
  UINT8 Tag[2]; // TPM_PERMANENT_FLAGS tag
  UINT8 Disable;
  UINT8 Ownership;
  UINT8 Deactivated;
  UINT8 OtherFlags[17]; // the remaining TPM_PERMANENT_FLAGS booleans
};
static_assert(sizeof(TpmPermanentFlagsRecord) == 36, "permanent flags record");
static_assert(__builtin_offsetof(TpmPermanentFlagsRecord, ReturnCode) == 6, "record");
static_assert(__builtin_offsetof(TpmPermanentFlagsRecord, Disable) == 16, "record");
static_assert(__builtin_offsetof(TpmPermanentFlagsRecord, Ownership) == 17, "record");
static_assert(__builtin_offsetof(TpmPermanentFlagsRecord, Deactivated) == 18, "record");

// First 21 bytes of a TPM_GetCapability(TPM_CAP_FLAG_VOLATILE) response.
struct TpmVolatileFlagsRecord {
  UINT8 ResponseHeader[10];
  UINT8 RespSize[4];
  UINT8 Tag[2]; // TPM_STCLEAR_FLAGS tag
  UINT8 Deactivated;
  UINT8 DisableForceClear;
  UINT8 PhysicalPresence;
  UINT8 PhysicalPresenceLock;
  UINT8 bGlobalLock;
};
static_assert(sizeof(TpmVolatileFlagsRecord) == 21, "volatile flags record");
static_assert(__builtin_offsetof(TpmVolatileFlagsRecord, Deactivated) == 16, "record");
static_assert(__builtin_offsetof(TpmVolatileFlagsRecord, PhysicalPresenceLock) == 19, "record");

constexpr UINT32 TPM_ORD_ContinueSelfTest = 0x00000053;
constexpr UINT32 TPM_ORD_GetCapability = 0x00000065;
constexpr UINT32 TSC_ORD_PhysicalPresence = 0x4000000A;
// Vendor-specific ordinal of TPM vendor 0x1050 that reports disable,
// deactivated and owned in response bytes 10, 11 and 13.
constexpr UINT32 TPM_ORD_VendorTpmState = 0x20000021;

constexpr UINT16 TPM_PHYSICAL_PRESENCE_LOCK = 0x0004;

constexpr UINT64 kTpmVendorIdAddress = 0xFED40F00;
constexpr UINT16 kTpmVendorWithStateOrdinal = 0x1050;
constexpr UINT16 kTpmVendorNeedsSelfTest = 0x15D1;

// Largest request TpmSendCommand frames (header included).
constexpr UINT32 kTpmCommandBufferSize = 1024;
constexpr UINT32 kTpmRequestHeaderSize = 10;

// Frames a TPM 1.2 request and sends it. Returns the response's returnCode
// bytes loaded as one little-endian value (first wire byte least significant);
// 0 is TPM_SUCCESS. A parameter block that does not fit the request buffer is
// not sent and gives TPM_SIZE, a failing PassThroughToTpm gives TPM_FAIL, both
// in the same byte order.
UINT32 TpmSendCommand(EFI_TCG_PROTOCOL *Tcg, UINT32 Ordinal, UINT32 ParameterLength,
                      const UINT8 *Parameters);

// EFI_TCG_PROTOCOL, looked up afresh. A TCG GUID installed with no interface
// is no TPM (EFI_NOT_FOUND): nothing may call through its NULL.
EFI_STATUS LocateTcg(EFI_TCG_PROTOCOL **Tcg);

VOID TpmReadPermanentFlags(EFI_TCG_PROTOCOL *Tcg, TpmPermanentFlagsRecord *Record);
VOID TpmReadVolatileFlags(EFI_TCG_PROTOCOL *Tcg, TpmVolatileFlagsRecord *Record);
UINT8 TpmReadOwned(EFI_TCG_PROTOCOL *Tcg);

// The TPM interface's vendor identifier, read afresh at every call.
UINT16 TpmVendorId();

} // namespace TpmPlatform
