// The HOB walk over arbitrary list bytes. The list is followed by 64 KiB of
// 0xFF: whatever offset a HobLength jumps to lands on an end-of-list type, so
// a walk that reads outside that range (ASan) or never ends (timeout) is a
// fault of the walk, not of the harness.
//
// Input: one selector byte (which GUID to look for), then the list.
#include "Platform/PpiSuccessHob.h"
#include "tpm_platform/core/HobList.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace TpmPlatform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  if (Size < 1)
    return 0;
  constexpr EFI_GUID kOther = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
  const EFI_GUID &name = (Data[0] & 1) ? gPpiSuccessHobGuid : kOther;
  const std::size_t listSize = Size - 1;
  // 8-byte aligned storage, as HOB lists are.
  std::vector<std::uint64_t> words((listSize + 65536 + 8 + 7) / 8);
  auto *bytes = reinterpret_cast<std::uint8_t *>(words.data());
  std::memset(bytes, 0xFF, words.size() * 8);
  if (listSize != 0)
    std::memcpy(bytes, Data + 1, listSize);
  const std::uint8_t *end = bytes + words.size() * 8;

  const auto *cursor = reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(bytes);
  const VOID *data = nullptr;
  UINTN dataSize = 0;
  while (GetNextGuidHob(&cursor, &name, &data, &dataSize) == EFI_SUCCESS) {
    const auto *found = static_cast<const std::uint8_t *>(data);
    const auto *next = reinterpret_cast<const std::uint8_t *>(cursor);
    // The data lies inside its HOB, and the cursor moved past it.
    if (found < bytes + 24 || found + dataSize != next || next > end)
      __builtin_trap();
  }
  EFI_CONFIGURATION_TABLE table[] = {{gEfiHobListGuid, bytes}};
  const VOID *first = FindGuidHobData(1, table, &name);
  if (first != nullptr && (first < bytes || first >= end))
    __builtin_trap();
  return 0;
}
