// Boot services for fuzz targets whose pool is the host heap: every block is
// exactly its size, so ASan sees overruns and use after free (the board's
// pool keeps freed blocks), memory stays bounded over millions of inputs, and
// a block the driver never frees is a leak LeakSanitizer reports. Blocks are
// handed out filled with 0xAF, so code that relies on zeroed pool shows up.
// Every other service is the board's.
#pragma once
#include "Uefi/UefiSpec.h"

#include <cstdlib>
#include <cstring>

namespace fuzz {

class HeapPool {
public:
  // A copy of Board's table with AllocatePool and FreePool replaced.
  static EFI_BOOT_SERVICES *Wrap(const EFI_BOOT_SERVICES *Board) {
    static EFI_BOOT_SERVICES table;
    table = *Board;
    table.AllocatePool = Allocate;
    table.FreePool = Free;
    return &table;
  }
  // Blocks handed out and not yet freed.
  static size_t Live() { return live_; }

private:
  static EFI_STATUS EFIAPI Allocate(EFI_MEMORY_TYPE, UINTN Size, VOID **Buffer) {
    if (Buffer == nullptr)
      return EFI_INVALID_PARAMETER;
    *Buffer = std::malloc(Size != 0 ? Size : 1);
    if (*Buffer == nullptr)
      return EFI_OUT_OF_RESOURCES;
    std::memset(*Buffer, 0xAF, Size);
    ++live_;
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI Free(VOID *Buffer) {
    if (Buffer == nullptr)
      return EFI_INVALID_PARAMETER;
    std::free(Buffer);
    --live_;
    return EFI_SUCCESS;
  }
  static inline size_t live_ = 0;
};

} // namespace fuzz
