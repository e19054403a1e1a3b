// The compiler emits calls to these even in freestanding code (struct copies,
// zeroing of large locals). Image build only: on the host the C library has them.
#include "Uefi/UefiBaseType.h"

extern "C" {

void *memset(void *Destination, int Value, UINTN Length) {
  // volatile keeps the optimiser from turning the loop back into a memset call.
  auto *d = static_cast<volatile UINT8 *>(Destination);
  while (Length--)
    *d++ = static_cast<UINT8>(Value);
  return Destination;
}

void *memcpy(void *Destination, const void *Source, UINTN Length) {
  auto *d = static_cast<volatile UINT8 *>(Destination);
  auto *s = static_cast<const UINT8 *>(Source);
  while (Length--)
    *d++ = *s++;
  return Destination;
}

void *memmove(void *Destination, const void *Source, UINTN Length) {
  auto *d = static_cast<volatile UINT8 *>(Destination);
  auto *s = static_cast<const UINT8 *>(Source);
  if (d < s) {
    while (Length--)
      *d++ = *s++;
  } else {
    d += Length;
    s += Length;
    while (Length--)
      *--d = *--s;
  }
  return Destination;
}

int memcmp(const void *A, const void *B, UINTN Length) {
  auto *a = static_cast<const UINT8 *>(A);
  auto *b = static_cast<const UINT8 *>(B);
  for (; Length; --Length, ++a, ++b)
    if (*a != *b)
      return *a < *b ? -1 : 1;
  return 0;
}

} // extern "C"
