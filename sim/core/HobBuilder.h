// Builds PI HOB lists: the handoff HOB first, then GUID-extension (and any
// other) HOBs, then the end-of-list HOB. Every HOB is padded to a multiple of
// 8 bytes and the list lives in 8-byte-aligned storage.
#pragma once
#include "Pi/PiHob.h"

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

class HobBuilder {
public:
  explicit HobBuilder(UINT32 bootMode = BOOT_WITH_FULL_CONFIGURATION);

  HobBuilder &AddGuid(const EFI_GUID &name, std::span<const uint8_t> data);
  // Any HOB: header written here, body as given (padded to 8).
  HobBuilder &AddRaw(UINT16 type, std::span<const uint8_t> body);
  void SetBootMode(UINT32 bootMode) { bootMode_ = bootMode; }
  bool Empty() const { return hobs_.empty(); }

  // The finished list as 64-bit words (alignment). The handoff HOB's
  // EfiEndOfHobList holds the address of the end-of-list HOB inside `words`,
  // so build into the storage that stays put.
  void BuildInto(std::vector<uint64_t> &words) const;
  std::vector<uint8_t> Bytes() const;

private:
  UINT32 bootMode_;
  std::vector<uint8_t> hobs_; // the HOBs between handoff and end
};

} // namespace sim
