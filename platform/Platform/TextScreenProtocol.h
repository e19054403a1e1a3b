// TextScreenProtocol: the platform's text screen for firmware dialogs. Slots
// count the interface's 64-bit entries from 0; the entries take no interface
// pointer. The confirmation screen calls slots 1, 5, 6 and 7.
#pragma once
#include "Uefi/UefiBaseType.h"

typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_CLEAR)();
// Prints String at the cursor and moves to the start of the next row.
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_PRINT_LINE)(const CHAR16 *String);
// Prints String at the cursor without ending the row.
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_PRINT)(const CHAR16 *String);
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_SET_ATTRIBUTE)(UINTN Attribute);
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_GET_SIZE)(UINTN *Columns, UINTN *Rows);
// Takes the screen over from the boot progress display.
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_BEGIN)();
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_SET_CURSOR)(UINTN Column, UINTN Row);
typedef EFI_STATUS(EFIAPI *TEXT_SCREEN_GET_CURSOR)(UINTN *Column, UINTN *Row);

struct TextScreenProtocol {
  TEXT_SCREEN_CLEAR ClearScreen;          // slot 0
  TEXT_SCREEN_PRINT_LINE PrintLine;       // slot 1
  TEXT_SCREEN_PRINT Print;                // slot 2
  TEXT_SCREEN_SET_ATTRIBUTE SetAttribute; // slot 3
  TEXT_SCREEN_GET_SIZE GetSize;           // slot 4
  TEXT_SCREEN_BEGIN BeginScreen;          // slot 5
  TEXT_SCREEN_SET_CURSOR SetCursor;       // slot 6
  TEXT_SCREEN_GET_CURSOR GetCursor;       // slot 7
};
static_assert(__builtin_offsetof(TextScreenProtocol, PrintLine) == 1 * 8, "slot 1");
static_assert(__builtin_offsetof(TextScreenProtocol, BeginScreen) == 5 * 8, "slot 5");
static_assert(__builtin_offsetof(TextScreenProtocol, SetCursor) == 6 * 8, "slot 6");
static_assert(__builtin_offsetof(TextScreenProtocol, GetCursor) == 7 * 8, "slot 7");
static_assert(sizeof(TextScreenProtocol) == 8 * 8, "eight slots");

inline constexpr EFI_GUID gTextScreenProtocolGuid = {
    0x8A91B1E1, 0x56C7, 0x4ADC, {0xAB, 0xEB, 0x1C, 0x2C, 0xA1, 0x72, 0x9E, 0xFF}};
