// Named objects in an AML byte stream: the kinds the scanner knows, what it
// reports about a match, and the scan itself.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace TpmPlatform {

constexpr UINT32 AML_KIND_SCOPE = 1;
constexpr UINT32 AML_KIND_NAME = 3;
constexpr UINT32 AML_KIND_PROCESSOR = 4;
constexpr UINT32 AML_KIND_THERMAL_ZONE = 5;
constexpr UINT32 AML_KIND_DEVICE = 6;
constexpr UINT32 AML_KIND_METHOD = 7;
constexpr UINT32 AML_KIND_POWER_RESOURCE = 8;
constexpr UINT32 AML_KIND_OPERATION_REGION = 9;

constexpr UINT8 AML_ROOT_PREFIX = 0x5C;   // '\'
constexpr UINT8 AML_PARENT_PREFIX = 0x5E; // '^'
constexpr UINTN AML_NAME_SEG_SIZE = 4;

struct AmlObjectKind {
  UINT32 Kind;
  UINT8 Opcode[2];
  UINT8 OpcodeLength;
  // Bytes between the end of the NameSeg and the object's data.
  UINT8 DataOffset;
  // The opcode stands right before the name. Otherwise a package length
  // separates them and the scanner cannot confirm the object.
  BOOLEAN NameFollowsOpcode;
};

// The table entry of a kind, or NULL for a kind the scanner does not know.
const AmlObjectKind *AmlLookupKind(UINT32 Kind);

struct AmlObjectInfo {
  UINT8 *ObjectStart; // first opcode byte
  UINT8 *NameStart;   // the name, with its '\' or '^' prefix
  UINT8 *DataStart;   // NameSeg + 4 + the kind's data offset
  UINT32 Kind;
  UINT32 Length; // 0: the confirmable kinds carry no package length
};

// Finds the first declaration of Name (1 to 4 ASCII characters, padded with
// '_') as an object of the given kind within the Length bytes at Aml.
// EFI_NOT_FOUND: no such declaration, or a kind the scanner does not know.
// EFI_INVALID_PARAMETER: a NULL argument or a name that is no NameSeg.
EFI_STATUS AmlFindObject(UINT8 *Aml, UINTN Length, const CHAR8 *Name, UINT32 Kind,
                         AmlObjectInfo *Info);

} // namespace TpmPlatform
