// 8-bit string operations.
#include "support/Strings.h"

UINTN NarrowLength(const CHAR8 *String) {
  UINTN n = 0;
  while (String[n])
    ++n;
  return n;
}
