// String and byte operations shared by both drivers.
#pragma once
#include "Uefi/UefiBaseType.h"

// Turns 'a' to 'z' into 'A' to 'Z' in place; returns String.
CHAR16 *WideUpper(CHAR16 *String);
UINTN WideLength(const CHAR16 *String);
UINTN NarrowLength(const CHAR8 *String);
// Copies up to and including the terminator; returns Destination.
CHAR16 *WideCopy(CHAR16 *Destination, const CHAR16 *Source);
// 0 when equal, else A[i] - B[i] (unsigned characters) at the first difference.
INT32 WideCompare(const CHAR16 *A, const CHAR16 *B);

VOID FillBytes(VOID *Buffer, UINTN Length, UINT8 Value);
// Overlap-safe in both directions.
VOID CopyBytes(VOID *Destination, const VOID *Source, UINTN Length);
// 0 when equal, else the difference of the first differing bytes taken as signed 8-bit
// values (A - B).
INTN CompareBytes(const VOID *A, const VOID *B, UINTN Length);

// Unsigned 64-bit division; Remainder may be NULL. A zero divisor gives all ones and the
// dividend as remainder instead of a divide fault.
UINT64 DivMod64(UINT64 Dividend, UINT64 Divisor, UINT64 *Remainder);
