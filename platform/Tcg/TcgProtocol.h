// EFI_TCG_PROTOCOL and the TCG 1.2 event record (TCG EFI Protocol Specification).
#pragma once
#include "Uefi/UefiBaseType.h"

typedef UINT32 TCG_ALGORITHM_ID;
constexpr TCG_ALGORITHM_ID TPM_ALG_SHA = 4;
constexpr UINT32 SHA1_DIGEST_SIZE = 20;

#pragma pack(push, 1)
struct TCG_DIGEST {
  UINT8 digest[SHA1_DIGEST_SIZE];
};

struct TCG_PCR_EVENT {
  UINT32 PCRIndex;
  UINT32 EventType;
  TCG_DIGEST Digest;
  UINT32 EventSize;
  UINT8 Event[1];
};

struct TCG_VERSION {
  UINT8 Major;
  UINT8 Minor;
  UINT8 RevMajor;
  UINT8 RevMinor;
};

struct TCG_EFI_BOOT_SERVICE_CAPABILITY {
  UINT8 Size;
  TCG_VERSION StructureVersion;
  TCG_VERSION ProtocolSpecVersion;
  UINT8 HashAlgorithmBitmap;
  BOOLEAN TPMPresentFlag;
  BOOLEAN TPMDeactivatedFlag;
};
#pragma pack(pop)

constexpr UINTN kTcgPcrEventHeaderSize = 32;
static_assert(__builtin_offsetof(TCG_PCR_EVENT, EventType) == 4, "TCG_PCR_EVENT layout");
static_assert(__builtin_offsetof(TCG_PCR_EVENT, Digest) == 8, "TCG_PCR_EVENT layout");
static_assert(__builtin_offsetof(TCG_PCR_EVENT, EventSize) == 28, "TCG_PCR_EVENT layout");
static_assert(__builtin_offsetof(TCG_PCR_EVENT, Event) == kTcgPcrEventHeaderSize,
              "TCG_PCR_EVENT layout");
static_assert(sizeof(TCG_EFI_BOOT_SERVICE_CAPABILITY) == 12, "capability layout");

struct EFI_TCG_PROTOCOL;
typedef EFI_STATUS(EFIAPI *EFI_TCG_STATUS_CHECK)(
    EFI_TCG_PROTOCOL *This, TCG_EFI_BOOT_SERVICE_CAPABILITY *ProtocolCapability,
    UINT32 *TCGFeatureFlags, EFI_PHYSICAL_ADDRESS *EventLogLocation,
    EFI_PHYSICAL_ADDRESS *EventLogLastEntry);
typedef EFI_STATUS(EFIAPI *EFI_TCG_HASH_ALL)(EFI_TCG_PROTOCOL *This, UINT8 *HashData,
                                             UINT64 HashDataLen, TCG_ALGORITHM_ID AlgorithmId,
                                             UINT64 *HashedDataLen, UINT8 **HashedDataResult);
typedef EFI_STATUS(EFIAPI *EFI_TCG_LOG_EVENT)(EFI_TCG_PROTOCOL *This, TCG_PCR_EVENT *TCGLogData,
                                              UINT32 *EventNumber, UINT32 Flags);
typedef EFI_STATUS(EFIAPI *EFI_TCG_PASS_THROUGH_TO_TPM)(EFI_TCG_PROTOCOL *This,
                                                        UINT32 TpmInputParameterBlockSize,
                                                        UINT8 *TpmInputParameterBlock,
                                                        UINT32 TpmOutputParameterBlockSize,
                                                        UINT8 *TpmOutputParameterBlock);
typedef EFI_STATUS(EFIAPI *EFI_TCG_HASH_LOG_EXTEND_EVENT)(
    EFI_TCG_PROTOCOL *This, EFI_PHYSICAL_ADDRESS HashData, UINT64 HashDataLen,
    TCG_ALGORITHM_ID AlgorithmId, TCG_PCR_EVENT *TCGLogData, UINT32 *EventNumber,
    EFI_PHYSICAL_ADDRESS *EventLogLastEntry);

struct EFI_TCG_PROTOCOL {
  EFI_TCG_STATUS_CHECK StatusCheck;
  EFI_TCG_HASH_ALL HashAll;
  EFI_TCG_LOG_EVENT LogEvent;
  EFI_TCG_PASS_THROUGH_TO_TPM PassThroughToTpm;
  EFI_TCG_HASH_LOG_EXTEND_EVENT HashLogExtendEvent;
};

inline constexpr EFI_GUID gEfiTcgProtocolGuid = {
    0xF541796D, 0xA62E, 0x4954, {0xA7, 0x75, 0x95, 0x84, 0xF6, 0x1B, 0x9C, 0xDD}};

// Event types of the TCG PC Client and TCG EFI Platform standards.
constexpr UINT32 EV_SEPARATOR = 0x00000004;
constexpr UINT32 EV_EVENT_TAG = 0x00000006;
constexpr UINT32 EV_CPU_MICROCODE = 0x00000009;
constexpr UINT32 EV_EFI_VARIABLE_DRIVER_CONFIG = 0x80000001;
constexpr UINT32 EV_EFI_VARIABLE_BOOT = 0x80000002;
constexpr UINT32 EV_EFI_ACTION = 0x80000007;
constexpr UINT32 EV_EFI_HANDOFF_TABLES = 0x80000009;
