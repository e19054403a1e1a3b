// Byte fill, copy and compare, a machine word at a time where the layout allows it.
#include "support/Strings.h"

namespace {

// Word access through these types is allowed at any address and aliases any object.
typedef UINT64 __attribute__((may_alias, aligned(1))) Word64;
typedef UINT32 __attribute__((may_alias, aligned(1))) Word32;

UINTN Offset8(const VOID *p) {
  return reinterpret_cast<UINTN>(p) & 7;
}

} // namespace

VOID FillBytes(VOID *Buffer, UINTN Length, UINT8 Value) {
  auto *p = static_cast<UINT8 *>(Buffer);
  while (Length && (reinterpret_cast<UINTN>(p) & 3)) {
    *p++ = Value;
    --Length;
  }
  const UINT32 word = Value * 0x01010101u;
  for (; Length >= 4; Length -= 4, p += 4)
    *reinterpret_cast<Word32 *>(p) = word;
  while (Length--)
    *p++ = Value;
}

VOID CopyBytes(VOID *Destination, const VOID *Source, UINTN Length) {
  auto *d = static_cast<UINT8 *>(Destination);
  auto *s = static_cast<const UINT8 *>(Source);
  const UINTN dAddr = reinterpret_cast<UINTN>(d);
  const UINTN sAddr = reinterpret_cast<UINTN>(s);
  const UINTN distance = dAddr > sAddr ? dAddr - sAddr : sAddr - dAddr;
  // Words only when a word never reads bytes the same word's store overwrites.
  const bool words = Length >= 8 && distance >= 8;
  const bool aligned = Offset8(d) == Offset8(s);

  if (dAddr > sAddr && dAddr - sAddr <= Length) {
    // The destination overlaps the source's tail: copy from the end downwards.
    d += Length;
    s += Length;
    if (words) {
      if (aligned)
        for (; Length && Offset8(d); --Length)
          *--d = *--s;
      for (; Length >= 8; Length -= 8) {
        d -= 8;
        s -= 8;
        *reinterpret_cast<Word64 *>(d) = *reinterpret_cast<const Word64 *>(s);
      }
    }
    while (Length--)
      *--d = *--s;
    return;
  }

  if (words) {
    if (aligned)
      for (; Length && Offset8(d); --Length)
        *d++ = *s++;
    for (; Length >= 8; Length -= 8, d += 8, s += 8)
      *reinterpret_cast<Word64 *>(d) = *reinterpret_cast<const Word64 *>(s);
  }
  while (Length--)
    *d++ = *s++;
}

INTN CompareBytes(const VOID *A, const VOID *B, UINTN Length) {
  auto *a = static_cast<const UINT8 *>(A);
  auto *b = static_cast<const UINT8 *>(B);
  if (Length >= 8 && Offset8(a) == Offset8(b)) {
    for (; Offset8(a); ++a, ++b, --Length)
      if (*a != *b)
        return static_cast<INT8>(*a) - static_cast<INT8>(*b);
    // A differing word is left to the byte loop, which finds the first differing byte.
    for (; Length >= 8; Length -= 8, a += 8, b += 8)
      if (*reinterpret_cast<const Word64 *>(a) != *reinterpret_cast<const Word64 *>(b))
        break;
  }
  for (; Length; ++a, ++b, --Length)
    if (*a != *b)
      return static_cast<INT8>(*a) - static_cast<INT8>(*b);
  return 0;
}
