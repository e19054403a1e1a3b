// UTF-16 formatting, status names and number conversion. No allocation and no
// firmware service: usable in boot-service drivers and inside SMM alike.
//
// Directives: %% %s %S %a %c %g %G %r %d %i %x %X, with an optional '0' pad flag, a width
// (digits or '*') for the numeric ones and 'l' for 64-bit numbers. Every argument takes one
// 64-bit slot; 32-bit directives read its low half.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <stdarg.h>

// Writes at most Size - 1 characters and a terminator (Size 0: no limit, the caller
// guarantees room). Returns the characters written before the terminator, or all ones when
// Buffer or Format is NULL.
UINTN FormatWideV(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, va_list Args);
UINTN FormatWide(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, ...);
UINTN FormatWideUnbounded(CHAR16 *Buffer, const CHAR16 *Format, ...);

// The name of a status as an 8-bit string, or NULL when the table does not know it.
const CHAR8 *StatusName(EFI_STATUS Status);

// Writes Value in base 16 or 10 (any other base counts as 10) with a terminator; at most 21
// characters and the terminator. A negative value is written with '-' in base 10; in base
// 16 it is written as its 64-bit pattern, or the low 32 bits of it when Is64Bit is FALSE.
CHAR16 *NumberToWide(INT64 Value, CHAR16 *Buffer, UINTN Base, BOOLEAN Is64Bit);

// Reads a signed 32-bit number from 8-bit (Step 1) or UTF-16 (Step 2, low byte looked at)
// text. Base 0 detects "0x" (16), a leading '0' (8) or else 10. Out-of-range values saturate
// to 0x7FFFFFFF or -0x80000000. *End (when End is not NULL) gets the first character not
// consumed.
INT32 ParseInteger(const VOID *Text, const VOID **End, UINTN Base, UINTN Step);
