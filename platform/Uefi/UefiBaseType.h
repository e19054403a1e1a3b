// Base types of the UEFI standard, usable by the freestanding image build
// (LLP64, x86_64-windows) and by the host build (LP64) alike.
#pragma once

typedef __UINT8_TYPE__ UINT8;
typedef __UINT16_TYPE__ UINT16;
typedef __UINT32_TYPE__ UINT32;
typedef __UINT64_TYPE__ UINT64;
typedef __INT8_TYPE__ INT8;
typedef __INT16_TYPE__ INT16;
typedef __INT32_TYPE__ INT32;
typedef __INT64_TYPE__ INT64;
typedef __UINTPTR_TYPE__ UINTN;
typedef __INTPTR_TYPE__ INTN;
typedef char CHAR8;
typedef char16_t CHAR16;
typedef UINT8 BOOLEAN;
typedef void VOID;

static_assert(sizeof(UINT64) == 8 && sizeof(UINTN) == 8 && sizeof(CHAR16) == 2, "x64 only");

#define TRUE ((BOOLEAN)1)
#define FALSE ((BOOLEAN)0)

// Interface entry points. The image target is MS ABI by itself; on the host the
// drivers, the board and the tests are one native-ABI program.
#define EFIAPI

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;
typedef UINTN EFI_TPL;
typedef UINT64 EFI_PHYSICAL_ADDRESS;
typedef UINT64 EFI_VIRTUAL_ADDRESS;

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16, "EFI_GUID layout");

constexpr bool operator==(const EFI_GUID &a, const EFI_GUID &b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i])
      return false;
  return true;
}

constexpr UINTN kEfiErrorBit = UINTN(1) << 63;
constexpr EFI_STATUS EfiError(UINTN code) {
  return kEfiErrorBit | code;
}
constexpr EFI_STATUS EfiWarning(UINTN code) {
  return code;
}
constexpr bool EFI_ERROR(EFI_STATUS s) {
  return (s & kEfiErrorBit) != 0;
}

constexpr EFI_STATUS EFI_SUCCESS = 0;
constexpr EFI_STATUS EFI_LOAD_ERROR = EfiError(1);
constexpr EFI_STATUS EFI_INVALID_PARAMETER = EfiError(2);
constexpr EFI_STATUS EFI_UNSUPPORTED = EfiError(3);
constexpr EFI_STATUS EFI_BAD_BUFFER_SIZE = EfiError(4);
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EfiError(5);
constexpr EFI_STATUS EFI_NOT_READY = EfiError(6);
constexpr EFI_STATUS EFI_DEVICE_ERROR = EfiError(7);
constexpr EFI_STATUS EFI_WRITE_PROTECTED = EfiError(8);
constexpr EFI_STATUS EFI_OUT_OF_RESOURCES = EfiError(9);
constexpr EFI_STATUS EFI_VOLUME_CORRUPTED = EfiError(10);
constexpr EFI_STATUS EFI_VOLUME_FULL = EfiError(11);
constexpr EFI_STATUS EFI_NO_MEDIA = EfiError(12);
constexpr EFI_STATUS EFI_MEDIA_CHANGED = EfiError(13);
constexpr EFI_STATUS EFI_NOT_FOUND = EfiError(14);
constexpr EFI_STATUS EFI_ACCESS_DENIED = EfiError(15);
constexpr EFI_STATUS EFI_NO_RESPONSE = EfiError(16);
constexpr EFI_STATUS EFI_NO_MAPPING = EfiError(17);
constexpr EFI_STATUS EFI_TIMEOUT = EfiError(18);
constexpr EFI_STATUS EFI_NOT_STARTED = EfiError(19);
constexpr EFI_STATUS EFI_ALREADY_STARTED = EfiError(20);
constexpr EFI_STATUS EFI_ABORTED = EfiError(21);
constexpr EFI_STATUS EFI_ICMP_ERROR = EfiError(22);
constexpr EFI_STATUS EFI_TFTP_ERROR = EfiError(23);
constexpr EFI_STATUS EFI_PROTOCOL_ERROR = EfiError(24);
constexpr EFI_STATUS EFI_INCOMPATIBLE_VERSION = EfiError(25);
constexpr EFI_STATUS EFI_SECURITY_VIOLATION = EfiError(26);
constexpr EFI_STATUS EFI_CRC_ERROR = EfiError(27);
constexpr EFI_STATUS EFI_END_OF_MEDIA = EfiError(28);
constexpr EFI_STATUS EFI_END_OF_FILE = EfiError(31);
constexpr EFI_STATUS EFI_INVALID_LANGUAGE = EfiError(32);

constexpr EFI_STATUS EFI_WARN_UNKNOWN_GLYPH = EfiWarning(1);
constexpr EFI_STATUS EFI_WARN_DELETE_FAILURE = EfiWarning(2);
constexpr EFI_STATUS EFI_WARN_WRITE_FAILURE = EfiWarning(3);
constexpr EFI_STATUS EFI_WARN_BUFFER_TOO_SMALL = EfiWarning(4);

constexpr EFI_TPL TPL_APPLICATION = 4;
constexpr EFI_TPL TPL_CALLBACK = 8;
constexpr EFI_TPL TPL_NOTIFY = 16;
constexpr EFI_TPL TPL_HIGH_LEVEL = 31;

enum EFI_MEMORY_TYPE : UINT32 {
  EfiReservedMemoryType,
  EfiLoaderCode,
  EfiLoaderData,
  EfiBootServicesCode,
  EfiBootServicesData,
  EfiRuntimeServicesCode,
  EfiRuntimeServicesData,
  EfiConventionalMemory,
  EfiUnusableMemory,
  EfiACPIReclaimMemory,
  EfiACPIMemoryNVS,
  EfiMemoryMappedIO,
  EfiMemoryMappedIOPortSpace,
  EfiPalCode,
  EfiMaxMemoryType
};
