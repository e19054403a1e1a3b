#include "support/Format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Named {
  EFI_STATUS status;
  const char *name; // nullptr: not in the table
};

constexpr EFI_STATUS kError = EFI_STATUS(1) << 63;
constexpr EFI_STATUS kBit62 = EFI_STATUS(1) << 62;
constexpr EFI_STATUS kBit61 = EFI_STATUS(1) << 61;

const char *const kPlainErrors[] = {
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

std::vector<Named> Table() {
  std::vector<Named> t = {
      {0, "EFI_SUCCESS"},
      {1, "EFI_WARN_UNKNOWN_GLYPH"},
      {2, "EFI_WARN_DELETE_FAILURE"},
      {3, "EFI_WARN_WRITE_FAILURE"},
      {4, "EFI_WARN_BUFFER_TOO_SMALL"},
      {5, nullptr},
      {kBit61 | 0, "EFI_WARN_INTERRUPT_SOURCE_PENDING"},
      {kBit61 | 1, "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
      {kBit61 | kBit62 | 1, "EFI_WARN_INTERRUPT_SOURCE_QUIESCED"},
      {kBit61 | 2, nullptr},
      {kBit62 | 1, nullptr},
      {kError | kBit61 | 0, "EFI_INTERRUPT_PENDING"},
      {kError | kBit61 | 1, "EFI_REQUEST_UNLOAD_IMAGE"},
      {kError | kBit61 | 2, "EFI_NOT_AVAILABLE_YET"},
      {kError | kBit62 | kBit61 | 2, "EFI_NOT_AVAILABLE_YET"},
      {kError | kBit61 | 3, nullptr},
      {kError | kBit62 | 0, nullptr},
      {kError | kBit62 | 1, "EFI_DBE_EOF"},
      {kError | kBit62 | 2, "EFI_DBE_BOF"},
      {kError | kBit62 | 3, nullptr},
      {kError | 0, nullptr},
      {kError | 31, nullptr},
      {kError | 32, nullptr},
      {kError | (UINT64(1) << 32) | 1, nullptr},
      {~UINT64(0), nullptr},
  };
  for (UINT64 i = 1; i <= 30; ++i)
    t.push_back({kError | i, kPlainErrors[i - 1]});
  return t;
}

TEST(StatusName, EveryEntryAndItsBoundaries) {
  for (const Named &n : Table()) {
    const CHAR8 *name = StatusName(n.status);
    if (n.name == nullptr)
      EXPECT_EQ(name, nullptr) << std::hex << n.status << " gave " << name;
    else
      EXPECT_STREQ(name, n.name) << std::hex << n.status;
  }
}

TEST(StatusName, AgreesWithThePlatformConstants) {
  EXPECT_STREQ(StatusName(EFI_NOT_FOUND), "EFI_NOT_FOUND");
  EXPECT_STREQ(StatusName(EFI_END_OF_MEDIA), "EFI_END_OF_MEDIA");
  EXPECT_STREQ(StatusName(EFI_WARN_BUFFER_TOO_SMALL), "EFI_WARN_BUFFER_TOO_SMALL");
}

} // namespace
