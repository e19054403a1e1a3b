// UTF-16 formatting, status names and number conversion. No allocation and no
// firmware service: usable in boot-service drivers and inside SMM alike.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <stdarg.h>

UINTN FormatWideV(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, va_list Args);
UINTN FormatWide(CHAR16 *Buffer, UINTN Size, const CHAR16 *Format, ...);
UINTN FormatWideUnbounded(CHAR16 *Buffer, const CHAR16 *Format, ...);
const CHAR8 *StatusName(EFI_STATUS Status);
CHAR16 *NumberToWide(INT64 Value, CHAR16 *Buffer, UINTN Base, BOOLEAN Is64Bit);
INT32 ParseInteger(const VOID *Text, const VOID **End, UINTN Base, UINTN Step);
