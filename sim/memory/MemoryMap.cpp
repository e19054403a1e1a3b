#include "sim/memory/MemoryMap.h"

#include "sim/core/Errors.h"
#include "sim/core/Text.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace sim {

namespace {
struct FreeBacking {
  void operator()(uint8_t *bytes) const { std::free(bytes); }
};
} // namespace

struct MemoryMap::Region {
  std::string Name;
  EFI_PHYSICAL_ADDRESS Base;
  uint64_t Size;
  bool ReadOnly = false;
  // calloc: a large region comes as untouched zero pages, so a board's RAM
  // costs only what the boot writes (zeroing 16 MiB was most of a boot).
  std::unique_ptr<uint8_t[], FreeBacking> Backing; // null for MMIO
  MmioHandler Handler;
  uint64_t Next = 0; // bump allocator offset
};

MemoryMap::MemoryMap(AccessTrace &trace) : trace_(trace) {}
MemoryMap::~MemoryMap() = default;

void MemoryMap::CheckOverlap(EFI_PHYSICAL_ADDRESS base, uint64_t size,
                             const std::string &name) const {
  if (size == 0 || base + size < base)
    throw SimulationError("memory region " + name + ": bad range " + HexNumber(base) + "+" +
                          HexNumber(size));
  for (const auto &r : regions_)
    if (base < r->Base + r->Size && r->Base < base + size)
      throw SimulationError("memory region " + name + " at " + HexNumber(base) + " overlaps " +
                            r->Name + " at " + HexNumber(r->Base));
}

std::span<uint8_t> MemoryMap::AddMemory(std::string name, EFI_PHYSICAL_ADDRESS base, uint64_t size,
                                        bool readOnly) {
  CheckOverlap(base, size, name);
  auto r = std::make_unique<Region>();
  r->Name = std::move(name);
  r->Base = base;
  r->Size = size;
  r->ReadOnly = readOnly;
  r->Backing.reset(static_cast<uint8_t *>(std::calloc(size, 1)));
  if (!r->Backing)
    throw std::bad_alloc();
  std::span<uint8_t> bytes(r->Backing.get(), size);
  regions_.push_back(std::move(r));
  return bytes;
}

void MemoryMap::AddMmio(EFI_PHYSICAL_ADDRESS base, uint64_t size, MmioHandler handler) {
  CheckOverlap(base, size, handler.Device);
  auto r = std::make_unique<Region>();
  r->Name = handler.Device;
  r->Base = base;
  r->Size = size;
  r->Handler = std::move(handler);
  regions_.push_back(std::move(r));
}

const MemoryMap::Region *MemoryMap::FindPhysical(EFI_PHYSICAL_ADDRESS address) const {
  for (const auto &r : regions_)
    if (address >= r->Base && address - r->Base < r->Size)
      return r.get();
  return nullptr;
}

const MemoryMap::Region *MemoryMap::FindHost(const void *pointer) const {
  auto p = reinterpret_cast<uintptr_t>(pointer);
  for (const auto &r : regions_) {
    if (!r->Backing)
      continue;
    auto b = reinterpret_cast<uintptr_t>(r->Backing.get());
    if (p >= b && p - b < r->Size)
      return r.get();
  }
  return nullptr;
}

MemoryMap::Region &MemoryMap::Named(std::string_view name) const {
  for (const auto &r : regions_)
    if (r->Name == name)
      return *r;
  throw SimulationError("no memory region named " + std::string(name));
}

void *MemoryMap::ToPointer(EFI_PHYSICAL_ADDRESS address) const {
  const Region *r = FindPhysical(address);
  if (r == nullptr)
    return reinterpret_cast<void *>(uintptr_t(address));
  if (!r->Backing)
    throw SimulationError("PhysicalToPointer(" + HexNumber(address) + "): device registers of " +
                          r->Name + " have no memory behind them (use MMIO accesses)");
  return r->Backing.get() + (address - r->Base);
}

EFI_PHYSICAL_ADDRESS MemoryMap::ToPhysical(const void *pointer) const {
  const Region *r = FindHost(pointer);
  if (r == nullptr)
    return reinterpret_cast<uintptr_t>(pointer);
  return r->Base +
         (reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(r->Backing.get()));
}

std::span<uint8_t> MemoryMap::Bytes(std::string_view regionName) const {
  Region &r = Named(regionName);
  if (!r.Backing)
    throw SimulationError("memory region " + r.Name + " is device registers, not memory");
  return {r.Backing.get(), r.Size};
}

uint64_t MemoryMap::Read(EFI_PHYSICAL_ADDRESS address, uint8_t width) {
  const Region *r = FindPhysical(address);
  uint64_t value = 0;
  if (r != nullptr && !r->Backing) {
    value = r->Handler.Read ? r->Handler.Read(address - r->Base, width) : ~uint64_t(0);
    if (width < 8)
      value &= (uint64_t(1) << (8 * width)) - 1;
    trace_.Record({0, AccessSpace::Mmio, AccessKind::Read, address, width, value, r->Name, {}});
    return value;
  }
  if (r != nullptr && address - r->Base + width > r->Size)
    throw SimulationError("MMIO read of " + std::to_string(width) + " bytes at " +
                          HexNumber(address) + " runs past the end of " + r->Name);
  std::memcpy(&value, ToPointer(address), width);
  return value;
}

void MemoryMap::Write(EFI_PHYSICAL_ADDRESS address, uint8_t width, uint64_t value) {
  const Region *r = FindPhysical(address);
  if (width < 8)
    value &= (uint64_t(1) << (8 * width)) - 1;
  if (r != nullptr && !r->Backing) {
    trace_.Record({0, AccessSpace::Mmio, AccessKind::Write, address, width, value, r->Name, {}});
    if (r->Handler.Write)
      r->Handler.Write(address - r->Base, width, value);
    return;
  }
  if (r != nullptr && address - r->Base + width > r->Size)
    throw SimulationError("MMIO write of " + std::to_string(width) + " bytes at " +
                          HexNumber(address) + " runs past the end of " + r->Name);
  if (r != nullptr && r->ReadOnly) {
    // Flash ignores plain writes; keep them visible.
    trace_.Record({0,
                   AccessSpace::Mmio,
                   AccessKind::Write,
                   address,
                   width,
                   value,
                   r->Name + " (read-only)",
                   {}});
    return;
  }
  std::memcpy(ToPointer(address), &value, width);
}

EFI_PHYSICAL_ADDRESS MemoryMap::Allocate(std::string_view regionName, uint64_t size,
                                         uint64_t alignment) {
  Region &r = Named(regionName);
  if (!r.Backing)
    throw SimulationError("memory region " + r.Name + " is device registers, not memory");
  if (alignment == 0 || (alignment & (alignment - 1)))
    throw SimulationError("allocation alignment must be a power of two");
  uint64_t at = (r.Base + r.Next + alignment - 1) & ~(alignment - 1);
  if (size > r.Size || at - r.Base > r.Size - size)
    throw SimulationError("memory region " + r.Name + " is full (" + std::to_string(size) +
                          " bytes asked)");
  r.Next = at - r.Base + size;
  return at;
}

std::vector<MemoryMap::RegionInfo> MemoryMap::Regions() const {
  std::vector<RegionInfo> out;
  for (const auto &r : regions_)
    out.push_back({r->Name, r->Base, r->Size, !r->Backing, r->ReadOnly});
  return out;
}

} // namespace sim
