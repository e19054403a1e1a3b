// Event-data layouts of the TCG PC Client and TCG EFI Platform standards
// that the measurements write (packed, little-endian).
#pragma once
#include "Tcg/TcgProtocol.h"
#include "Uefi/UefiBaseType.h"

#pragma pack(push, 1)
// EFI_VARIABLE_DATA without its two variable-length tails (UnicodeName, VariableData).
struct EFI_VARIABLE_DATA_HEADER {
  EFI_GUID VariableName;
  UINT64 UnicodeNameLength;
  UINT64 VariableDataLength;
};

// Tagged event of kind "option ROM execute".
struct TCG_OPTION_ROM_TAGGED_EVENT {
  UINT32 EventID;
  UINT32 EventDataSize;
  UINT16 Reserved;
  UINT16 PFA;
  TCG_DIGEST OptionRomDigest;
};

// EFI_HANDOFF_TABLE_POINTERS holding one table.
struct EFI_HANDOFF_TABLE_POINTERS_ONE {
  UINT64 NumberOfTables;
  EFI_GUID VendorGuid;
  UINT64 VendorTable;
};
#pragma pack(pop)

static_assert(sizeof(EFI_VARIABLE_DATA_HEADER) == 32, "EFI_VARIABLE_DATA layout");
static_assert(__builtin_offsetof(EFI_VARIABLE_DATA_HEADER, UnicodeNameLength) == 16, "layout");
static_assert(__builtin_offsetof(EFI_VARIABLE_DATA_HEADER, VariableDataLength) == 24, "layout");
static_assert(sizeof(TCG_OPTION_ROM_TAGGED_EVENT) == 32, "tagged event layout");
static_assert(__builtin_offsetof(TCG_OPTION_ROM_TAGGED_EVENT, EventDataSize) == 4, "layout");
static_assert(__builtin_offsetof(TCG_OPTION_ROM_TAGGED_EVENT, Reserved) == 8, "layout");
static_assert(__builtin_offsetof(TCG_OPTION_ROM_TAGGED_EVENT, PFA) == 10, "layout");
static_assert(__builtin_offsetof(TCG_OPTION_ROM_TAGGED_EVENT, OptionRomDigest) == 12, "layout");
static_assert(sizeof(EFI_HANDOFF_TABLE_POINTERS_ONE) == 32, "handoff table layout");
static_assert(__builtin_offsetof(EFI_HANDOFF_TABLE_POINTERS_ONE, VendorGuid) == 8, "layout");
static_assert(__builtin_offsetof(EFI_HANDOFF_TABLE_POINTERS_ONE, VendorTable) == 24, "layout");

constexpr UINT32 TCG_EVENT_ID_OPTION_ROM_EXECUTE = 7;
constexpr UINT32 EV_EFI_SEPARATOR_VALUE = 0xFFFFFFFF;
