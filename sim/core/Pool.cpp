#include "sim/core/Pool.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>

namespace sim {

PoolAllocator::PoolAllocator() {
  // Reserved, not committed: only the pages the blocks touch take memory.
  void *window = ::mmap(reinterpret_cast<void *>(kWindowBase), kWindowSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
  if (window == MAP_FAILED)
    return;
  if (reinterpret_cast<uintptr_t>(window) != kWindowBase) { // a kernel without NOREPLACE
    ::munmap(window, kWindowSize);
    return;
  }
  windowNext_ = kWindowBase;
  windowEnd_ = kWindowBase + kWindowSize;
}

PoolAllocator::~PoolAllocator() {
  if (windowNext_ != 0)
    ::munmap(reinterpret_cast<void *>(kWindowBase), kWindowSize);
}

namespace {
bool ValidPoolType(EFI_MEMORY_TYPE type) {
  UINT32 t = type;
  if (t == EfiConventionalMemory)
    return false;
  // OEM (0x70000000..0x7FFFFFFF) and OS (0x80000000..) ranges are allowed.
  return t < EfiMaxMemoryType || t >= 0x70000000u;
}
} // namespace

EFI_STATUS PoolAllocator::Allocate(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (buffer == nullptr || !ValidPoolType(type))
    return EFI_INVALID_PARAMETER;
  // A request the firmware could never satisfy (beyond any real memory size).
  if (size > (UINTN(1) << 40))
    return EFI_OUT_OF_RESOURCES;
  *buffer = Allocate(type, size_t(size));
  return EFI_SUCCESS;
}

void *PoolAllocator::Allocate(EFI_MEMORY_TYPE type, size_t size) {
  // Blocks are 16-byte aligned; a zero-size request still gets a unique block.
  // Freed blocks are never handed out again (see the header).
  size_t bytes = size ? size : 1;
  uintptr_t address;
  if (windowNext_ != 0 && bytes <= windowEnd_ - windowNext_) {
    address = windowNext_;
    windowNext_ += (bytes + 15) & ~size_t(15);
  } else {
    auto storage = std::make_unique<uint8_t[]>(bytes);
    address = reinterpret_cast<uintptr_t>(storage.get());
    memory_.push_back(std::move(storage));
  }
  std::memset(reinterpret_cast<void *>(address), kFreshFill, bytes);
  live_[address] = Block{++serial_, address, size, type, phase_};
  liveBytes_ += size;
  return reinterpret_cast<void *>(address);
}

EFI_STATUS PoolAllocator::Free(VOID *buffer) {
  auto address = reinterpret_cast<uintptr_t>(buffer);
  if (buffer == nullptr) {
    misuses_.push_back({"FreePool(NULL)", 0, phase_});
    return EFI_INVALID_PARAMETER;
  }
  auto it = live_.find(address);
  if (it == live_.end()) {
    const char *kind = freed_.count(address) ? "double free"
                       : IsLive(buffer)      ? "free of an address inside a block"
                                             : "free of an address never allocated";
    misuses_.push_back({kind, address, phase_});
    return EFI_INVALID_PARAMETER;
  }
  std::memset(buffer, kFreedFill, it->second.Size);
  liveBytes_ -= it->second.Size;
  freed_[address] = it->second;
  live_.erase(it);
  return EFI_SUCCESS;
}

bool PoolAllocator::IsLive(const void *address) const {
  auto a = reinterpret_cast<uintptr_t>(address);
  auto it = live_.upper_bound(a);
  if (it == live_.begin())
    return false;
  --it;
  return a < it->first + (it->second.Size ? it->second.Size : 1);
}

std::vector<PoolAllocator::Block> PoolAllocator::Live() const {
  std::vector<Block> blocks;
  for (const auto &[address, block] : live_)
    blocks.push_back(block);
  std::sort(blocks.begin(), blocks.end(),
            [](const Block &a, const Block &b) { return a.Serial < b.Serial; });
  return blocks;
}

} // namespace sim
