// A PE32+ loader for SMRAM: checks an image file completely before anything
// is copied, lays its headers and sections out at a new base and applies its
// base relocations. Images with imports or relocation types other than the
// 64-bit one are refused: nothing in SMRAM could resolve them.
#pragma once
#include "Uefi/UefiBaseType.h"

namespace SmmCompat {

struct PeImageInfo {
  UINT64 ImageBase; // the linker's base
  UINT32 SizeOfImage;
  UINT32 SizeOfHeaders;
  UINT32 EntryPoint; // RVA
  UINT16 Subsystem;
  UINT16 SectionCount;
  UINT32 SectionTable; // file offset
  UINT32 RelocRva;
  UINT32 RelocSize;
};

// Images larger than this are refused.
constexpr UINT32 kMaxImageSize = 16u << 20;

// Checks File (Size bytes). EFI_SUCCESS fills Info; EFI_LOAD_ERROR for a
// malformed image, EFI_UNSUPPORTED for a well-formed one this loader cannot
// place (other machine, imports, relocations stripped).
EFI_STATUS PeImageCheck(const UINT8 *File, UINTN Size, PeImageInfo *Info);

// Loads a checked image into Destination (at least Info.SizeOfImage bytes),
// which the code will run at address LoadBase, and relocates it. Bytes the
// sections do not cover are zero. EFI_UNSUPPORTED for an unknown relocation
// type, EFI_LOAD_ERROR for a relocation outside the image.
EFI_STATUS PeImageLoad(const UINT8 *File, UINTN Size, const PeImageInfo &Info, UINT8 *Destination,
                       UINT64 LoadBase);

} // namespace SmmCompat
