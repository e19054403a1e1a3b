// Physical addresses of the image build: identity-mapped.
#include "support/Hw.h"

VOID *PhysicalToPointer(EFI_PHYSICAL_ADDRESS Address) {
  return reinterpret_cast<VOID *>(static_cast<UINTN>(Address));
}

EFI_PHYSICAL_ADDRESS PointerToPhysical(const VOID *Pointer) {
  return static_cast<EFI_PHYSICAL_ADDRESS>(reinterpret_cast<UINTN>(Pointer));
}
