// TPM 1.2 requests framed for PassThroughToTpm, and the three state reads.
#include "tpm_platform/core/TpmTransport.h"
#include "support/Hw.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"

namespace TpmPlatform {

namespace {

constexpr UINT16 TPM_TAG_RQU_COMMAND = 0x00C1;
constexpr UINT32 TPM_CAP_FLAG = 4;
constexpr UINT32 TPM_CAP_PROPERTY = 5;
constexpr UINT32 TPM_CAP_FLAG_PERMANENT = 0x108;
constexpr UINT32 TPM_CAP_FLAG_VOLATILE = 0x109;
constexpr UINT32 TPM_CAP_PROP_OWNER = 0x111;
constexpr UINT32 TPM_FAIL = 0x09;
constexpr UINT32 TPM_SIZE = 0x17;

constexpr UINT32 kCapabilityRequestSize = 22;
constexpr UINT32 kVendorStateRequestSize = 10;
constexpr UINT32 kFlagsResponseSize = 256;
constexpr UINT32 kOwnerResponseSize = 512;

constexpr UINTN kResponseReturnCode = 6;
constexpr UINTN kResponseCapabilityData = 14;
// Vendor-state response bytes.
constexpr UINTN kVendorDisable = 10;
constexpr UINTN kVendorDeactivated = 11;
constexpr UINTN kVendorOwned = 13;

void PutBigEndian16(UINT8 *At, UINT16 Value) {
  At[0] = UINT8(Value >> 8);
  At[1] = UINT8(Value);
}

void PutBigEndian32(UINT8 *At, UINT32 Value) {
  At[0] = UINT8(Value >> 24);
  At[1] = UINT8(Value >> 16);
  At[2] = UINT8(Value >> 8);
  At[3] = UINT8(Value);
}

// The four returnCode bytes as one little-endian value.
UINT32 ReturnCodeLittleEndian(const UINT8 *Response) {
  const UINT8 *rc = Response + kResponseReturnCode;
  return UINT32(rc[0]) | UINT32(rc[1]) << 8 | UINT32(rc[2]) << 16 | UINT32(rc[3]) << 24;
}

void FrameHeader(UINT8 *Request, UINT32 ParamSize, UINT32 Ordinal) {
  PutBigEndian16(Request, TPM_TAG_RQU_COMMAND);
  PutBigEndian32(Request + 2, ParamSize);
  PutBigEndian32(Request + 6, Ordinal);
}

void FrameCapabilityRequest(UINT8 *Request, UINT32 CapArea, UINT32 SubCap) {
  FrameHeader(Request, kCapabilityRequestSize, TPM_ORD_GetCapability);
  PutBigEndian32(Request + 10, CapArea);
  PutBigEndian32(Request + 14, sizeof(UINT32));
  PutBigEndian32(Request + 18, SubCap);
}

// The response buffers start zeroed for every request, so a transport that
// fails without answering leaves zeros, not the previous answer.
EFI_STATUS Transmit(EFI_TCG_PROTOCOL *Tcg, UINT8 *Request, UINT32 RequestSize, UINT8 *Response,
                    UINT32 ResponseSize) {
  FillBytes(Response, ResponseSize, 0);
  return Tcg->PassThroughToTpm(Tcg, RequestSize, Request, ResponseSize, Response);
}

constinit UINT8 gCommandRequest[kTpmCommandBufferSize] = {};
constinit UINT8 gCommandResponse[kTpmCommandBufferSize] = {};
constinit UINT8 gPermanentResponse[kFlagsResponseSize] = {};
constinit UINT8 gVolatileResponse[kFlagsResponseSize] = {};
constinit UINT8 gOwnerResponse[kOwnerResponseSize] = {};

} // namespace

UINT32 TpmSendCommand(EFI_TCG_PROTOCOL *Tcg, UINT32 Ordinal, UINT32 ParameterLength,
                      const UINT8 *Parameters) {
  if (ParameterLength > kTpmCommandBufferSize - kTpmRequestHeaderSize)
    return TPM_SIZE << 24;
  const UINT32 requestSize = ParameterLength + kTpmRequestHeaderSize;
  FrameHeader(gCommandRequest, requestSize, Ordinal);
  CopyBytes(gCommandRequest + kTpmRequestHeaderSize, Parameters, ParameterLength);
  // A request that never reached the TPM is not reported as TPM_SUCCESS.
  if (EFI_ERROR(
          Transmit(Tcg, gCommandRequest, requestSize, gCommandResponse, sizeof(gCommandResponse))))
    return TPM_FAIL << 24;
  return ReturnCodeLittleEndian(gCommandResponse);
}

UINT16 TpmVendorId() {
  return MmioRead16(kTpmVendorIdAddress);
}

EFI_STATUS LocateTcg(EFI_TCG_PROTOCOL **Tcg) {
  *Tcg = nullptr;
  EFI_STATUS Status =
      gBS->LocateProtocol(&gEfiTcgProtocolGuid, nullptr, reinterpret_cast<VOID **>(Tcg));
  if (!EFI_ERROR(Status) && *Tcg == nullptr)
    return EFI_NOT_FOUND;
  return Status;
}

VOID TpmReadPermanentFlags(EFI_TCG_PROTOCOL *Tcg, TpmPermanentFlagsRecord *Record) {
  UINT8 *response = gPermanentResponse;
  if (TpmVendorId() == kTpmVendorWithStateOrdinal) {
    FillBytes(Record, sizeof(*Record), 0);
    UINT8 request[kVendorStateRequestSize];
    FrameHeader(request, sizeof(request), TPM_ORD_VendorTpmState);
    (void)Transmit(Tcg, request, sizeof(request), response, kFlagsResponseSize);
    if (ReturnCodeLittleEndian(response) != 0) {
      CopyBytes(Record->ReturnCode, response + kResponseReturnCode, sizeof(Record->ReturnCode));
      return;
    }
    Record->Disable = response[kVendorDisable] != 0 ? 1 : 0;
    Record->Deactivated = response[kVendorDeactivated] != 0 ? 1 : 0;
    Record->Ownership = response[kVendorOwned] != 0 ? 1 : 0;
    return;
  }
  UINT8 request[kCapabilityRequestSize];
  FrameCapabilityRequest(request, TPM_CAP_FLAG, TPM_CAP_FLAG_PERMANENT);
  (void)Transmit(Tcg, request, sizeof(request), response, kFlagsResponseSize);
  CopyBytes(Record, response, sizeof(*Record));
}

VOID TpmReadVolatileFlags(EFI_TCG_PROTOCOL *Tcg, TpmVolatileFlagsRecord *Record) {
  UINT8 request[kCapabilityRequestSize];
  FrameCapabilityRequest(request, TPM_CAP_FLAG, TPM_CAP_FLAG_VOLATILE);
  (void)Transmit(Tcg, request, sizeof(request), gVolatileResponse, kFlagsResponseSize);
  CopyBytes(Record, gVolatileResponse, sizeof(*Record));
}

UINT8 TpmReadOwned(EFI_TCG_PROTOCOL *Tcg) {
  UINT8 *response = gOwnerResponse;
  if (TpmVendorId() == kTpmVendorWithStateOrdinal) {
    UINT8 request[kVendorStateRequestSize];
    FrameHeader(request, sizeof(request), TPM_ORD_VendorTpmState);
    (void)Transmit(Tcg, request, sizeof(request), response, kOwnerResponseSize);
    return ReturnCodeLittleEndian(response) == 0 ? response[kVendorOwned] : 0;
  }
  UINT8 request[kCapabilityRequestSize];
  FrameCapabilityRequest(request, TPM_CAP_PROPERTY, TPM_CAP_PROP_OWNER);
  (void)Transmit(Tcg, request, sizeof(request), response, kOwnerResponseSize);
  return response[kResponseCapabilityData];
}

} // namespace TpmPlatform
