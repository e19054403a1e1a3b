#include "smm_compat/core/PeLoader.h"

#include "support/Strings.h"

namespace SmmCompat {
namespace {

constexpr UINT16 kDosSignature = 0x5A4D;    // "MZ"
constexpr UINT32 kPeSignature = 0x00004550; // "PE\0\0"
constexpr UINT16 kMachineX64 = 0x8664;
constexpr UINT16 kPe32PlusMagic = 0x020B;
constexpr UINT16 kRelocsStripped = 0x0001; // COFF characteristics
constexpr UINTN kCoffHeaderSize = 20;
constexpr UINTN kSectionHeaderSize = 40;
constexpr UINT32 kImportDirectory = 1;
constexpr UINT32 kRelocDirectory = 5;
constexpr UINT16 kRelAbsolute = 0;
constexpr UINT16 kRelDir64 = 10;

// Optional-header offsets of PE32+.
constexpr UINTN kOptEntryPoint = 16;
constexpr UINTN kOptImageBase = 24;
constexpr UINTN kOptSectionAlignment = 32;
constexpr UINTN kOptSizeOfImage = 56;
constexpr UINTN kOptSizeOfHeaders = 60;
constexpr UINTN kOptSubsystem = 68;
constexpr UINTN kOptRvaCount = 108;
constexpr UINTN kOptDirectories = 112;

UINT16 Get16(const UINT8 *P) {
  return UINT16(P[0] | (P[1] << 8));
}
UINT32 Get32(const UINT8 *P) {
  return UINT32(P[0]) | UINT32(P[1]) << 8 | UINT32(P[2]) << 16 | UINT32(P[3]) << 24;
}
UINT64 Get64(const UINT8 *P) {
  return UINT64(Get32(P)) | UINT64(Get32(P + 4)) << 32;
}
VOID Put64(UINT8 *P, UINT64 V) {
  for (UINTN i = 0; i < 8; ++i)
    P[i] = UINT8(V >> (8 * i));
}

// [Offset, Offset + Length) lies inside [0, Limit), without overflow.
BOOLEAN Inside(UINT64 Offset, UINT64 Length, UINT64 Limit) {
  return Offset <= Limit && Length <= Limit - Offset;
}

} // namespace

EFI_STATUS PeImageCheck(const UINT8 *File, UINTN Size, PeImageInfo *Info) {
  if (File == nullptr || Info == nullptr || Size < 0x40 || Get16(File) != kDosSignature)
    return EFI_LOAD_ERROR;
  UINT32 Pe = Get32(File + 0x3C);
  if (!Inside(Pe, 4 + kCoffHeaderSize, Size) || Get32(File + Pe) != kPeSignature)
    return EFI_LOAD_ERROR;
  const UINT8 *Coff = File + Pe + 4;
  UINT16 OptSize = Get16(Coff + 16);
  const UINT8 *Opt = Coff + kCoffHeaderSize;
  if (OptSize < kOptDirectories || !Inside(Pe + 4 + kCoffHeaderSize, OptSize, Size))
    return EFI_LOAD_ERROR;
  if (Get16(Opt) != kPe32PlusMagic)
    return EFI_LOAD_ERROR;
  if (Get16(Coff) != kMachineX64)
    return EFI_UNSUPPORTED;

  PeImageInfo I = {};
  I.ImageBase = Get64(Opt + kOptImageBase);
  I.SizeOfImage = Get32(Opt + kOptSizeOfImage);
  I.SizeOfHeaders = Get32(Opt + kOptSizeOfHeaders);
  I.EntryPoint = Get32(Opt + kOptEntryPoint);
  I.Subsystem = Get16(Opt + kOptSubsystem);
  I.SectionCount = Get16(Coff + 2);
  I.SectionTable = UINT32(Pe + 4 + kCoffHeaderSize + OptSize);
  UINT32 Alignment = Get32(Opt + kOptSectionAlignment);
  if (I.SizeOfImage == 0 || I.SizeOfImage > kMaxImageSize || Alignment == 0 ||
      (Alignment & (Alignment - 1)) != 0 || (I.ImageBase & 0xFFF) != 0)
    return EFI_LOAD_ERROR;
  if (I.SizeOfHeaders > Size || I.SizeOfHeaders > I.SizeOfImage)
    return EFI_LOAD_ERROR;
  if (!Inside(I.SectionTable, UINT64(I.SectionCount) * kSectionHeaderSize, I.SizeOfHeaders))
    return EFI_LOAD_ERROR;
  if (I.EntryPoint == 0 || I.EntryPoint >= I.SizeOfImage)
    return EFI_LOAD_ERROR;

  UINT32 RvaCount = Get32(Opt + kOptRvaCount);
  if (RvaCount > (OptSize - kOptDirectories) / 8)
    return EFI_LOAD_ERROR;
  if (RvaCount > kImportDirectory && Get32(Opt + kOptDirectories + 8 * kImportDirectory + 4) != 0)
    return EFI_UNSUPPORTED;
  if (RvaCount > kRelocDirectory) {
    I.RelocRva = Get32(Opt + kOptDirectories + 8 * kRelocDirectory);
    I.RelocSize = Get32(Opt + kOptDirectories + 8 * kRelocDirectory + 4);
  }
  if (I.RelocSize != 0 && !Inside(I.RelocRva, I.RelocSize, I.SizeOfImage))
    return EFI_LOAD_ERROR;
  // Without relocations the image can run only at its linked base, which SMRAM
  // never is.
  if ((Get16(Coff + 18) & kRelocsStripped) != 0 || I.RelocSize == 0)
    return EFI_UNSUPPORTED;

  for (UINT16 S = 0; S < I.SectionCount; ++S) {
    const UINT8 *Section = File + I.SectionTable + S * kSectionHeaderSize;
    UINT32 VirtualSize = Get32(Section + 8);
    UINT32 Rva = Get32(Section + 12);
    UINT32 RawSize = Get32(Section + 16);
    UINT32 RawOffset = Get32(Section + 20);
    UINT32 Copied = RawSize < VirtualSize ? RawSize : VirtualSize;
    if (Rva < I.SizeOfHeaders || !Inside(Rva, VirtualSize, I.SizeOfImage))
      return EFI_LOAD_ERROR;
    if (Copied != 0 && !Inside(RawOffset, Copied, Size))
      return EFI_LOAD_ERROR;
  }
  *Info = I;
  return EFI_SUCCESS;
}

EFI_STATUS PeImageLoad(const UINT8 *File, UINTN Size, const PeImageInfo &Info, UINT8 *Destination,
                       UINT64 LoadBase) {
  if (File == nullptr || Destination == nullptr || Info.SizeOfHeaders > Size)
    return EFI_INVALID_PARAMETER;
  FillBytes(Destination, Info.SizeOfImage, 0);
  CopyBytes(Destination, File, Info.SizeOfHeaders);
  for (UINT16 S = 0; S < Info.SectionCount; ++S) {
    const UINT8 *Section = File + Info.SectionTable + S * kSectionHeaderSize;
    UINT32 VirtualSize = Get32(Section + 8);
    UINT32 RawSize = Get32(Section + 16);
    UINT32 Copied = RawSize < VirtualSize ? RawSize : VirtualSize;
    if (Copied != 0)
      CopyBytes(Destination + Get32(Section + 12), File + Get32(Section + 20), Copied);
  }

  UINT64 Delta = LoadBase - Info.ImageBase;
  UINT32 Offset = 0;
  while (Offset + 8 <= Info.RelocSize) {
    const UINT8 *Block = Destination + Info.RelocRva + Offset;
    UINT32 Page = Get32(Block);
    UINT32 BlockSize = Get32(Block + 4);
    if (BlockSize < 8 || (BlockSize & 1) != 0 || BlockSize > Info.RelocSize - Offset)
      return EFI_LOAD_ERROR;
    for (UINT32 At = 8; At < BlockSize; At += 2) {
      UINT16 Entry = Get16(Block + At);
      UINT16 Type = UINT16(Entry >> 12);
      UINT64 Target = UINT64(Page) + (Entry & 0xFFF);
      if (Type == kRelAbsolute)
        continue;
      if (Type != kRelDir64)
        return EFI_UNSUPPORTED;
      if (!Inside(Target, 8, Info.SizeOfImage))
        return EFI_LOAD_ERROR;
      Put64(Destination + Target, Get64(Destination + Target) + Delta);
    }
    Offset += BlockSize;
  }
  return EFI_SUCCESS;
}

} // namespace SmmCompat
