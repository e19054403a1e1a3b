#include "support/Strings.h"

UINT64 DivMod64(UINT64 Dividend, UINT64 Divisor, UINT64 *Remainder) {
  // A divide fault inside SMM would take the whole platform down.
  if (Divisor == 0) {
    if (Remainder)
      *Remainder = Dividend;
    return ~UINT64(0);
  }
  if (Remainder)
    *Remainder = Dividend % Divisor;
  return Dividend / Divisor;
}
