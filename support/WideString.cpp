// UTF-16 string operations.
#include "support/Strings.h"

CHAR16 *WideUpper(CHAR16 *String) {
  for (CHAR16 *p = String; *p; ++p)
    if (*p >= u'a' && *p <= u'z')
      *p = static_cast<CHAR16>(*p - u'a' + u'A');
  return String;
}

UINTN WideLength(const CHAR16 *String) {
  UINTN n = 0;
  while (String[n])
    ++n;
  return n;
}

CHAR16 *WideCopy(CHAR16 *Destination, const CHAR16 *Source) {
  CHAR16 *d = Destination;
  while ((*d++ = *Source++) != 0) {
  }
  return Destination;
}

INT32 WideCompare(const CHAR16 *A, const CHAR16 *B) {
  while (*A && *A == *B) {
    ++A;
    ++B;
  }
  return static_cast<INT32>(*A) - static_cast<INT32>(*B);
}
