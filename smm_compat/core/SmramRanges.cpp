#include "smm_compat/core/SmramRanges.h"

namespace SmmCompat {

BOOLEAN BufferOutsideSmram(const SmramRange *Ranges, UINTN Count, UINT64 Address, UINT64 Size) {
  if (Ranges == nullptr || Count == 0 || Size == 0 || Address + Size < Address)
    return FALSE;
  UINT64 End = Address + Size;
  for (UINTN i = 0; i < Count; ++i) {
    UINT64 Start = Ranges[i].Start;
    UINT64 Limit = Start + Ranges[i].Size;
    if (Address < Limit && Start < End)
      return FALSE;
  }
  return TRUE;
}

} // namespace SmmCompat
