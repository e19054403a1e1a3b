// Direct scan of a firmware volume in flash, used when no firmware-volume
// protocol offers the microcode file. The volume is outside input: every
// length read from it is checked before it is followed.
#include "Pi/PiFirmwareFile.h"
#include "Pi/PiFirmwareVolume.h"
#include "support/Hw.h"
#include "support/Strings.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {

constexpr UINT64 kFfsHeaderSize = sizeof(EFI_FFS_FILE_HEADER);
constexpr UINT32 kErasedFileSize = 0xFFFFFF;

const UINT8 *At(EFI_PHYSICAL_ADDRESS Address) {
  return static_cast<const UINT8 *>(PhysicalToPointer(Address));
}

UINT32 FileSize(EFI_PHYSICAL_ADDRESS File) {
  const UINT8 *Size = At(File + __builtin_offsetof(EFI_FFS_FILE_HEADER, Size));
  return Size[0] | Size[1] << 8 | Size[2] << 16;
}

} // namespace

EFI_STATUS FindFlashFile(EFI_PHYSICAL_ADDRESS Volume, UINT64 Limit, const EFI_GUID *Name,
                         EFI_PHYSICAL_ADDRESS *Data, UINT64 *DataSize) {
  if (Limit < sizeof(EFI_FIRMWARE_VOLUME_HEADER))
    return EFI_NOT_FOUND;
  EFI_FIRMWARE_VOLUME_HEADER Header;
  CopyBytes(&Header, At(Volume), sizeof(Header));
  // Erased flash (all FF) or a damaged header: no length in it can be trusted.
  if (Header.Signature != EFI_FVH_SIGNATURE || Header.FvLength > Limit ||
      Header.HeaderLength < sizeof(EFI_FIRMWARE_VOLUME_HEADER) ||
      Header.HeaderLength > Header.FvLength)
    return EFI_NOT_FOUND;

  const EFI_PHYSICAL_ADDRESS End = Volume + Header.FvLength;
  EFI_PHYSICAL_ADDRESS File = Volume + Header.HeaderLength;
  while (File < End && End - File >= kFfsHeaderSize) {
    if (*At(File) == 0xFF)
      return EFI_NOT_FOUND; // erased: no files beyond this point
    const UINT32 Size = FileSize(File);
    if (CompareBytes(At(File), Name, sizeof(EFI_GUID)) == 0) {
      // A file too short for its own header or running past the volume's end
      // is damaged: its contents are not measured.
      if (Size < kFfsHeaderSize || Size > End - File)
        return EFI_NOT_FOUND;
      *Data = File + kFfsHeaderSize;
      *DataSize = Size - kFfsHeaderSize;
      return EFI_SUCCESS;
    }
    const EFI_PHYSICAL_ADDRESS Next = (File + Size + 7) & ~EFI_PHYSICAL_ADDRESS(7);
    if (Next <= File)
      return EFI_NOT_FOUND; // a zero size would keep the scan in place for ever
    File = Next;
    if (File < End && End - File >= kFfsHeaderSize && FileSize(File) == kErasedFileSize)
      return EFI_NOT_FOUND;
  }
  return EFI_NOT_FOUND;
}

} // namespace TpmPlatform
