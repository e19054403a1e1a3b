// Names of the UEFI and PI status codes, in fixed-width fields so that the tables hold no
// pointers.
#include "support/Format.h"

namespace {

constexpr EFI_STATUS kBit63 = EFI_STATUS(1) << 63;
constexpr EFI_STATUS kBit62 = EFI_STATUS(1) << 62;
constexpr EFI_STATUS kBit61 = EFI_STATUS(1) << 61;

constexpr CHAR8 kSuccessName[] = "EFI_SUCCESS";

// Warnings, by their whole value 1 to 4.
constexpr CHAR8 kWarningNames[][26] = {
    "EFI_WARN_UNKNOWN_GLYPH",
    "EFI_WARN_DELETE_FAILURE",
    "EFI_WARN_WRITE_FAILURE",
    "EFI_WARN_BUFFER_TOO_SMALL",
};

// Warnings with bit 61, index 0 and 1.
constexpr CHAR8 kInterruptWarningNames[][35] = {
    "EFI_WARN_INTERRUPT_SOURCE_PENDING",
    "EFI_WARN_INTERRUPT_SOURCE_QUIESCED",
};

// Errors with bits 63 and 61, index 0 to 2.
constexpr CHAR8 kHighErrorNames[][25] = {
    "EFI_INTERRUPT_PENDING",
    "EFI_REQUEST_UNLOAD_IMAGE",
    "EFI_NOT_AVAILABLE_YET",
};

// Errors with bits 63 and 62, index 1 and 2.
constexpr CHAR8 kDatabaseErrorNames[][25] = {
    "EFI_DBE_EOF",
    "EFI_DBE_BOF",
};

// Errors with only bit 63, index 1 to 30. The last two names sit at 29 and 30, as the
// platform's table has always had them.
constexpr CHAR8 kErrorNames[][25] = {
    "EFI_LOAD_ERROR",           "EFI_INVALID_PARAMETER",  "EFI_UNSUPPORTED",
    "EFI_BAD_BUFFER_SIZE",      "EFI_BUFFER_TOO_SMALL",   "EFI_NOT_READY",
    "EFI_DEVICE_ERROR",         "EFI_WRITE_PROTECTED",    "EFI_OUT_OF_RESOURCES",
    "EFI_VOLUME_CORRUPTED",     "EFI_VOLUME_FULL",        "EFI_NO_MEDIA",
    "EFI_MEDIA_CHANGED",        "EFI_NOT_FOUND",          "EFI_ACCESS_DENIED",
    "EFI_NO_RESPONSE",          "EFI_NO_MAPPING",         "EFI_TIMEOUT",
    "EFI_NOT_STARTED",          "EFI_ALREADY_STARTED",    "EFI_ABORTED",
    "EFI_ICMP_ERROR",           "EFI_TFTP_ERROR",         "EFI_PROTOCOL_ERROR",
    "EFI_INCOMPATIBLE_VERSION", "EFI_SECURITY_VIOLATION", "EFI_CRC_ERROR",
    "EFI_END_OF_MEDIA",         "EFI_END_OF_FILE",        "EFI_INVALID_LANGUAGE",
};

static_assert(sizeof(kWarningNames) / sizeof(kWarningNames[0]) == 4);
static_assert(sizeof(kInterruptWarningNames) / sizeof(kInterruptWarningNames[0]) == 2);
static_assert(sizeof(kHighErrorNames) / sizeof(kHighErrorNames[0]) == 3);
static_assert(sizeof(kDatabaseErrorNames) / sizeof(kDatabaseErrorNames[0]) == 2);
static_assert(sizeof(kErrorNames) / sizeof(kErrorNames[0]) == 30);

} // namespace

const CHAR8 *StatusName(EFI_STATUS Status) {
  if (Status == 0)
    return kSuccessName;
  const EFI_STATUS index = Status & ~(kBit63 | kBit62 | kBit61);
  if (!(Status & kBit63)) {
    if ((Status & kBit61) && index <= 1)
      return kInterruptWarningNames[index];
    if (Status >= 1 && Status <= 4)
      return kWarningNames[Status - 1];
    return nullptr;
  }
  if (Status & kBit61)
    return index <= 2 ? kHighErrorNames[index] : nullptr;
  if (Status & kBit62)
    return index >= 1 && index <= 2 ? kDatabaseErrorNames[index - 1] : nullptr;
  return index >= 1 && index <= 30 ? kErrorNames[index - 1] : nullptr;
}
