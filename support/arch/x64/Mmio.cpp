// Memory-mapped I/O of the image build: physical memory is identity-mapped during boot
// services and in SMM, and volatile keeps every access exactly as written.
#include "support/Hw.h"

namespace {

template <typename T> volatile T *Register(UINT64 Address) {
  return reinterpret_cast<volatile T *>(static_cast<UINTN>(Address));
}

} // namespace

UINT8 MmioRead8(UINT64 Address) {
  return *Register<UINT8>(Address);
}
UINT16 MmioRead16(UINT64 Address) {
  return *Register<UINT16>(Address);
}
UINT32 MmioRead32(UINT64 Address) {
  return *Register<UINT32>(Address);
}

UINT8 MmioWrite8(UINT64 Address, UINT8 Value) {
  *Register<UINT8>(Address) = Value;
  return Value;
}

UINT16 MmioWrite16(UINT64 Address, UINT16 Value) {
  *Register<UINT16>(Address) = Value;
  return Value;
}

UINT32 MmioWrite32(UINT64 Address, UINT32 Value) {
  *Register<UINT32>(Address) = Value;
  return Value;
}
