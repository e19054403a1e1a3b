// The physical memory map. Regions are host memory (RAM, flash: backing bytes
// the drivers reach through PhysicalToPointer) or device registers (MMIO
// callbacks, traced). Addresses inside a memory region translate both ways;
// an address outside every region is a host pointer, identity-mapped as on
// real firmware (pool blocks, driver globals).
#pragma once
#include "Uefi/UefiBaseType.h"
#include "sim/io/AccessTrace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace sim {

struct MmioHandler {
  std::string Device;
  // offset from the region base; width in bytes 1, 2, 4 or 8.
  std::function<uint64_t(uint64_t offset, uint8_t width)> Read;
  std::function<void(uint64_t offset, uint8_t width, uint64_t value)> Write;
};

class MemoryMap {
public:
  struct RegionInfo {
    std::string Name;
    EFI_PHYSICAL_ADDRESS Base;
    uint64_t Size;
    bool Mmio;
    bool ReadOnly;
  };

  explicit MemoryMap(AccessTrace &trace);
  ~MemoryMap();

  // Host-backed memory, zero-filled. Returns its bytes. Overlaps are errors.
  std::span<uint8_t> AddMemory(std::string name, EFI_PHYSICAL_ADDRESS base, uint64_t size,
                               bool readOnly = false);
  void AddMmio(EFI_PHYSICAL_ADDRESS base, uint64_t size, MmioHandler handler);

  // Memory regions translate; MMIO regions have no host pointer (error).
  void *ToPointer(EFI_PHYSICAL_ADDRESS address) const;
  EFI_PHYSICAL_ADDRESS ToPhysical(const void *pointer) const;
  std::span<uint8_t> Bytes(std::string_view regionName) const;

  uint64_t Read(EFI_PHYSICAL_ADDRESS address, uint8_t width);
  void Write(EFI_PHYSICAL_ADDRESS address, uint8_t width, uint64_t value);

  // Bump allocator inside a memory region ("low": ACPI tables, SMBIOS).
  // Returns the physical address; throws SimulationError when full.
  EFI_PHYSICAL_ADDRESS Allocate(std::string_view regionName, uint64_t size,
                                uint64_t alignment = 16);

  std::vector<RegionInfo> Regions() const;

private:
  struct Region;
  const Region *FindPhysical(EFI_PHYSICAL_ADDRESS address) const;
  const Region *FindHost(const void *pointer) const;
  Region &Named(std::string_view name) const;
  void CheckOverlap(EFI_PHYSICAL_ADDRESS base, uint64_t size, const std::string &name) const;

  AccessTrace &trace_;
  std::vector<std::unique_ptr<Region>> regions_;
};

} // namespace sim
