// The boot-services pool with leak accounting. Every block is real host memory
// (drivers use the pointers directly and as identity-mapped physical
// addresses). Freed blocks stay quarantined until the pool goes away, so a
// second free of the same pointer is always recognised, never confused with a
// new block at a recycled address.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class PoolAllocator {
public:
  // Where the pool hands out its blocks: a window of the board's physical
  // address space, mapped at the same host address, so two runs that
  // allocate alike see the same addresses (a driver that logs a pool address
  // logs the same bytes every run). Only one pool at a time holds the window;
  // another one (two boards alive at once) uses host memory.
  static constexpr uint64_t kWindowBase = 0x20000000;
  static constexpr uint64_t kWindowSize = 0x10000000;
  struct Block {
    uint64_t Serial; // 1 for the first allocation of the pool
    uintptr_t Address;
    size_t Size;
    EFI_MEMORY_TYPE Type;
    std::string Phase; // boot phase that allocated it
  };
  struct Misuse {
    std::string Kind; // "double free", "free of an address never allocated", ...
    uintptr_t Address;
    std::string Phase;
  };

  PoolAllocator();
  ~PoolAllocator();
  PoolAllocator(const PoolAllocator &) = delete;
  PoolAllocator &operator=(const PoolAllocator &) = delete;

  // AllocatePool semantics (type and size checks), contents filled with a
  // pattern so code that relies on zeroed pool shows up.
  EFI_STATUS Allocate(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer);
  EFI_STATUS Free(VOID *buffer);

  // Host-side helper for components: a block that counts like a driver's.
  void *Allocate(EFI_MEMORY_TYPE type, size_t size);

  size_t LiveCount() const { return live_.size(); }
  size_t LiveBytes() const { return liveBytes_; }
  uint64_t TotalAllocations() const { return serial_; }
  std::vector<Block> Live() const;
  const std::vector<Misuse> &Misuses() const { return misuses_; }
  bool IsLive(const void *address) const;

  // Tag for the blocks allocated from now on (the board sets the phase name).
  void SetPhase(std::string phase) { phase_ = std::move(phase); }

  static constexpr uint8_t kFreshFill = 0xAF;
  static constexpr uint8_t kFreedFill = 0xDF;

private:
  std::map<uintptr_t, Block> live_;
  std::map<uintptr_t, Block> freed_;
  std::vector<std::unique_ptr<uint8_t[]>> memory_;
  uintptr_t windowNext_ = 0; // 0: the window is not this pool's
  uintptr_t windowEnd_ = 0;
  std::vector<Misuse> misuses_;
  size_t liveBytes_ = 0;
  uint64_t serial_ = 0;
  std::string phase_;
};

} // namespace sim
