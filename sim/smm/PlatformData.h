// PlatformDataProtocol: data items by GUID. The hot-key item answers a 1-byte
// read with its gate byte and a 28-byte read with its configuration block.
#pragma once
#include "Platform/PlatformDataProtocol.h"

#include <cstdint>
#include <vector>

namespace sim {

class FaultInjector;

class PlatformData {
public:
  struct Item {
    EFI_GUID Guid;
    uint8_t Gate;
    std::vector<uint8_t> Block;
  };

  PlatformData(FaultInjector &faults, std::vector<Item> items);
  ~PlatformData();
  PlatformData(const PlatformData &) = delete;
  PlatformData &operator=(const PlatformData &) = delete;

  PLATFORM_DATA_PROTOCOL *Protocol() { return &protocol_; }
  const std::vector<Item> &Items() const { return items_; }
  unsigned Reads() const { return reads_; }

private:
  static EFI_STATUS EFIAPI GetCount(PLATFORM_DATA_PROTOCOL *This, UINTN *Count);
  static EFI_STATUS EFIAPI GetData(const EFI_GUID *Guid, UINTN Size, VOID *Buffer);

  FaultInjector &faults_;
  std::vector<Item> items_;
  PLATFORM_DATA_PROTOCOL protocol_;
  unsigned reads_ = 0;
  static PlatformData *current_; // GetData carries no This pointer
};

} // namespace sim
