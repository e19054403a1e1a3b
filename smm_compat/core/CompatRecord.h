// What the compatibility layer shares between its SMM part, its DXE part and
// whoever inspects the platform afterwards: one record in runtime-services
// memory (SMM code may still write it after the SMM lock, when boot-services
// memory is no longer mapped for SMM), published under its own GUID.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace SmmCompat {

constexpr UINT64 kRecordSignature = 0x54504D4F434D4D53ull; // "SMMCOMPT"
constexpr UINT32 kRecordRevision = 1;

constexpr UINTN kMaxLoadedImages = 4;
constexpr UINTN kMaxSwHandlers = 8;
constexpr UINTN kMaxGpiHandlers = 8;
constexpr UINTN kMaxBootScriptEntries = 96;
constexpr UINTN kImageHeadBytes = 16;

// One image loaded into SMRAM by Register.
struct LoadedImageRecord {
  UINT64 Base;        // SMRAM address of the loaded image
  UINT64 Size;        // SizeOfImage
  UINT64 Entry;       // entry point address
  UINT64 EntryStatus; // what the entry point returned
  UINT64 InSmmAtEntry;
  UINT8 Head[kImageHeadBytes]; // the first bytes as loaded (the "MZ" header)
};
static_assert(sizeof(LoadedImageRecord) == 56, "loaded image record");

// Software-SMI values registered with the Framework SW dispatch protocol, and
// how often each was dispatched.
struct SwHandlerRecord {
  UINT32 Value;
  UINT32 Dispatched;
};
static_assert(sizeof(SwHandlerRecord) == 8, "SW handler record");

// Boot-script call forms.
constexpr UINT8 kFormFramework = 1; // Write(This, TableName, OpCode, ...)
constexpr UINT8 kFormPi = 2;        // Write(This, OpCode, ...)

// One boot-script write as recorded: the first value written (or the data of a
// read-write) and the mask of a read-write.
struct BootScriptEntry {
  UINT8 Form;
  UINT8 OpCode;
  UINT8 Width;
  UINT8 Reserved;
  UINT32 Count;
  UINT64 Address;
  UINT64 Value;
  UINT64 Mask;
};
static_assert(sizeof(BootScriptEntry) == 32, "boot-script entry");
static_assert(__builtin_offsetof(BootScriptEntry, Address) == 8, "boot-script entry address");

struct CompatRecord {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 Size;
  UINT64 FrameworkSmst; // SMRAM address of the Framework-layout SMST
  UINT32 LoaderOpen;    // 1 until the SMM ready-to-lock closes the loading path
  UINT32 LoadsRefused;  // Register requests refused (bad image, closed loader)
  UINT32 ImagesLoaded;
  UINT32 SwHandlerCount;
  UINT32 GpiHandlerCount;
  UINT32 BootScriptCount;   // entries recorded (at most kMaxBootScriptEntries)
  UINT32 BootScriptDropped; // entries that found the log full
  UINT32 Reserved;
  UINT64 RootSmis; // SMIs the root handler saw
  UINT64 SwSmis;   // of those, software SMIs with a registered value
  LoadedImageRecord Images[kMaxLoadedImages];
  SwHandlerRecord Sw[kMaxSwHandlers];
  UINT32 Gpi[kMaxGpiHandlers]; // GPI numbers in registration order
  BootScriptEntry BootScript[kMaxBootScriptEntries];
};
static_assert(__builtin_offsetof(CompatRecord, FrameworkSmst) == 16, "record SMST");
static_assert(__builtin_offsetof(CompatRecord, RootSmis) == 56, "record counters");
static_assert(__builtin_offsetof(CompatRecord, Images) == 72, "record images");
static_assert(__builtin_offsetof(CompatRecord, Sw) == 72 + 4 * 56, "record SW handlers");
static_assert(__builtin_offsetof(CompatRecord, Gpi) == 296 + 8 * 8, "record GPIs");
static_assert(__builtin_offsetof(CompatRecord, BootScript) == 392, "record boot script");
static_assert(sizeof(CompatRecord) == 392 + 96 * 32, "record size");

// The record, installed in the UEFI protocol database by the SMM part (the
// interface is the record itself). The DXE part depends on it.
inline constexpr EFI_GUID gSmmCompatRecordGuid = {
    0x2B4E61D3, 0x8C05, 0x4F7A, {0x9A, 0x12, 0x5E, 0xC3, 0x70, 0x48, 0xB1, 0x6D}};

// The loader's SMM communication GUID: the DXE part's Register reaches the SMM
// part through it, until the SMM ready-to-lock unregisters it.
inline constexpr EFI_GUID gSmmCompatLoaderGuid = {
    0x7D1C0A95, 0x3E6B, 0x4C28, {0xB4, 0x7F, 0x16, 0xA9, 0xD2, 0x5E, 0x08, 0xC1}};

// The loader's message: a PE32 image in memory outside SMRAM.
struct LoaderRequest {
  UINT64 ImageAddress;
  UINT64 ImageSize;
  UINT64 Status;      // out
  UINT64 ImageHandle; // out: the SMM handle of the loaded image
};
static_assert(sizeof(LoaderRequest) == 32, "loader request");

} // namespace SmmCompat
