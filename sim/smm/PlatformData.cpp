#include "sim/smm/PlatformData.h"
#include "sim/core/Faults.h"

#include <cstring>

namespace sim {

PlatformData *PlatformData::current_ = nullptr;

PlatformData::PlatformData(FaultInjector &faults, std::vector<Item> items)
    : faults_(faults), items_(std::move(items)), protocol_{GetCount, GetData} {
  current_ = this;
}

PlatformData::~PlatformData() {
  if (current_ == this)
    current_ = nullptr;
}

EFI_STATUS EFIAPI PlatformData::GetCount(PLATFORM_DATA_PROTOCOL *, UINTN *Count) {
  if (current_ == nullptr || Count == nullptr)
    return EFI_INVALID_PARAMETER;
  *Count = current_->items_.size();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI PlatformData::GetData(const EFI_GUID *Guid, UINTN Size, VOID *Buffer) {
  if (current_ == nullptr || Guid == nullptr || Buffer == nullptr)
    return EFI_INVALID_PARAMETER;
  if (auto injected = current_->faults_.Check("PlatformData.GetData"))
    return *injected;
  ++current_->reads_;
  for (const Item &item : current_->items_) {
    if (!(item.Guid == *Guid))
      continue;
    if (Size == 1) {
      *static_cast<uint8_t *>(Buffer) = item.Gate;
      return EFI_SUCCESS;
    }
    if (Size != item.Block.size())
      return EFI_BAD_BUFFER_SIZE;
    std::memcpy(Buffer, item.Block.data(), Size);
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}

} // namespace sim
