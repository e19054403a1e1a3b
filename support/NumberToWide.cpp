#include "support/Format.h"
#include "support/Strings.h"

CHAR16 *NumberToWide(INT64 Value, CHAR16 *Buffer, UINTN Base, BOOLEAN Is64Bit) {
  if (Base != 16)
    Base = 10;
  const bool negative = Value < 0;
  UINT64 magnitude = static_cast<UINT64>(Value);
  if (negative) {
    if (Base == 10)
      magnitude = UINT64(0) - magnitude; // also right for the most negative value
    else if (!Is64Bit)
      magnitude &= 0xFFFFFFFFu; // a sign-extended 32-bit number shows as 32 bits
  }

  // Least significant digit first; 20 digits and a sign at most.
  CHAR8 digits[24];
  UINTN count = 0;
  do {
    UINT64 digit;
    magnitude = DivMod64(magnitude, Base, &digit);
    digits[count++] = static_cast<CHAR8>(digit < 10 ? '0' + digit : 'a' + digit - 10);
  } while (magnitude != 0);
  if (negative && Base == 10)
    digits[count++] = '-';

  CHAR16 *out = Buffer;
  while (count)
    *out++ = static_cast<CHAR16>(digits[--count]);
  *out = 0;
  return Buffer;
}
