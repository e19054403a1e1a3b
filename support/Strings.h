// String and byte operations shared by both drivers.
#pragma once
#include "Uefi/UefiBaseType.h"

CHAR16 *WideUpper(CHAR16 *String);
UINTN WideLength(const CHAR16 *String);
UINTN NarrowLength(const CHAR8 *String);
CHAR16 *WideCopy(CHAR16 *Destination, const CHAR16 *Source);
INT32 WideCompare(const CHAR16 *A, const CHAR16 *B);
VOID FillBytes(VOID *Buffer, UINTN Length, UINT8 Value);
VOID CopyBytes(VOID *Destination, const VOID *Source, UINTN Length);
INTN CompareBytes(const VOID *A, const VOID *B, UINTN Length);
UINT64 DivMod64(UINT64 Dividend, UINT64 Divisor, UINT64 *Remainder);
