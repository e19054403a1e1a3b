// EFI_FIRMWARE_VOLUME2_PROTOCOL over a volume image: GetNextFile filtered by
// type, ReadFile into a pool buffer the caller frees, a search key of KeySize
// bytes. The protocol struct is the first member, so This finds the object.
#pragma once
#include "Protocol/FirmwareVolume2.h"
#include "Uefi/UefiSpec.h"
#include "sim/fv/FirmwareVolume.h"

#include <cstdint>
#include <vector>

namespace sim::fv {

class Fv2Volume {
public:
  // bootServices allocates ReadFile's buffers. Throws std::invalid_argument
  // when the image is not a valid volume.
  Fv2Volume(std::vector<uint8_t> image, EFI_BOOT_SERVICES *bootServices);
  Fv2Volume(const Fv2Volume &) = delete;
  Fv2Volume &operator=(const Fv2Volume &) = delete;

  EFI_FIRMWARE_VOLUME2_PROTOCOL *Protocol() { return &protocol_; }
  const std::vector<ParsedFile> &Files() const { return files_; }
  unsigned ReadFileCalls() const { return readFileCalls_; }
  unsigned GetNextFileCalls() const { return getNextFileCalls_; }

  static constexpr UINT32 kKeySize = 16;

private:
  static Fv2Volume &From(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This);
  static EFI_STATUS EFIAPI GetNextFile(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This, VOID *Key,
                                       EFI_FV_FILETYPE *FileType, EFI_GUID *NameGuid,
                                       EFI_FV_FILE_ATTRIBUTES *Attributes, UINTN *Size);
  static EFI_STATUS EFIAPI ReadFile(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                    const EFI_GUID *NameGuid, VOID **Buffer, UINTN *BufferSize,
                                    EFI_FV_FILETYPE *FoundType,
                                    EFI_FV_FILE_ATTRIBUTES *FileAttributes,
                                    UINT32 *AuthenticationStatus);

  EFI_FIRMWARE_VOLUME2_PROTOCOL protocol_; // must stay first
  std::vector<uint8_t> image_;
  std::vector<ParsedFile> files_;
  EFI_BOOT_SERVICES *bootServices_;
  unsigned readFileCalls_ = 0;
  unsigned getNextFileCalls_ = 0;
};

} // namespace sim::fv
