// The SMRAM ranges as the SMM part knows them, and the test every buffer from
// outside SMM must pass before SMM code reads it: wholly outside SMRAM, so a
// caller cannot make SMM code copy SMRAM's own contents for it.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace SmmCompat {

struct SmramRange {
  UINT64 Start;
  UINT64 Size;
};
constexpr UINTN kMaxSmramRanges = 8;

// TRUE when Size bytes at Address lie outside every range and do not wrap
// around the address space. With no range known nothing is outside: the
// caller cannot tell, so it refuses.
BOOLEAN BufferOutsideSmram(const SmramRange *Ranges, UINTN Count, UINT64 Address, UINT64 Size);

} // namespace SmmCompat
