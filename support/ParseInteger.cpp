#include "support/Format.h"

namespace {

constexpr UINT32 kSignBit = 0x80000000u;

// Digit value of a character, or a value no base accepts.
UINTN DigitValue(UINT8 c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z')
    return c - 'A' + 10;
  return ~UINTN(0);
}

} // namespace

INT32 ParseInteger(const VOID *Text, const VOID **End, UINTN Base, UINTN Step) {
  auto *p = static_cast<const UINT8 *>(Text);
  if (p == nullptr) {
    if (End)
      *End = Text;
    return 0;
  }
  if (Step == 0)
    Step = 1;

  while (*p == ' ' || *p == '\t')
    p += Step;
  INT32 sign = 1;
  if (*p == '-') {
    sign = -1;
    p += Step;
  }
  if (*p == '+')
    p += Step;

  if (Base == 0) {
    if (*p == '0' && (p[Step] == 'x' || p[Step] == 'X')) {
      Base = 16;
      p += 2 * Step;
    } else if (*p == '0') {
      Base = 8;
      p += Step;
    } else {
      Base = 10;
    }
  }

  // The limit of the magnitude: 0x7FFFFFFF, or 0x80000000 for a negative number. The
  // product is checked in 64 bits so a value that wraps past 32 bits still counts as too
  // large.
  const UINT64 limit = sign < 0 ? kSignBit : kSignBit - 1;
  UINT32 value = 0;
  bool overflow = false;
  for (UINTN digit; (digit = DigitValue(*p)) < Base; p += Step) {
    if (overflow)
      continue;
    UINT64 next;
    if (__builtin_mul_overflow(static_cast<UINT64>(value), static_cast<UINT64>(Base), &next) ||
        __builtin_add_overflow(next, static_cast<UINT64>(digit), &next) || next > limit)
      overflow = true;
    else
      value = static_cast<UINT32>(next);
  }

  if (End)
    *End = p;
  if (overflow)
    return sign < 0 ? static_cast<INT32>(kSignBit) : static_cast<INT32>(kSignBit - 1);
  return sign < 0 ? static_cast<INT32>(0u - value) : static_cast<INT32>(value);
}
