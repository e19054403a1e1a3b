#include "sim/fv/Fv2Protocol.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace sim::fv {
namespace {

// Search key: a running index into the volume's files. A zeroed key starts
// over, as the protocol requires.
struct SearchKey {
  uint64_t Next;
  uint64_t Reserved;
};
static_assert(sizeof(SearchKey) == Fv2Volume::kKeySize);

EFI_STATUS EFIAPI Unsupported() {
  return EFI_UNSUPPORTED;
}

} // namespace

Fv2Volume::Fv2Volume(std::vector<uint8_t> image, EFI_BOOT_SERVICES *bootServices)
    : protocol_{}, image_(std::move(image)), bootServices_(bootServices) {
  static_assert(offsetof(Fv2Volume, protocol_) == 0);
  auto parsed = ParseVolume(image_);
  if (!parsed)
    throw std::invalid_argument("not a valid firmware volume");
  files_ = std::move(*parsed);
  protocol_.GetVolumeAttributes = reinterpret_cast<EFI_FV_GET_ATTRIBUTES>(Unsupported);
  protocol_.SetVolumeAttributes = reinterpret_cast<EFI_FV_SET_ATTRIBUTES>(Unsupported);
  protocol_.ReadFile = ReadFile;
  protocol_.ReadSection = reinterpret_cast<EFI_FV_READ_SECTION>(Unsupported);
  protocol_.WriteFile = reinterpret_cast<EFI_FV_WRITE_FILE>(Unsupported);
  protocol_.GetNextFile = GetNextFile;
  protocol_.KeySize = kKeySize;
  protocol_.ParentHandle = nullptr;
  protocol_.GetInfo = reinterpret_cast<EFI_FV_GET_INFO>(Unsupported);
  protocol_.SetInfo = reinterpret_cast<EFI_FV_SET_INFO>(Unsupported);
}

Fv2Volume &Fv2Volume::From(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This) {
  return *reinterpret_cast<Fv2Volume *>(const_cast<EFI_FIRMWARE_VOLUME2_PROTOCOL *>(This));
}

EFI_STATUS EFIAPI Fv2Volume::GetNextFile(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This, VOID *Key,
                                         EFI_FV_FILETYPE *FileType, EFI_GUID *NameGuid,
                                         EFI_FV_FILE_ATTRIBUTES *Attributes, UINTN *Size) {
  if (This == nullptr || Key == nullptr || FileType == nullptr || NameGuid == nullptr ||
      Attributes == nullptr || Size == nullptr)
    return EFI_INVALID_PARAMETER;
  Fv2Volume &fv = From(This);
  ++fv.getNextFileCalls_;
  SearchKey key;
  std::memcpy(&key, Key, sizeof(key));
  const EFI_FV_FILETYPE wanted = *FileType;
  while (key.Next < fv.files_.size()) {
    const ParsedFile &f = fv.files_[key.Next++];
    if (wanted != EFI_FV_FILETYPE_ALL && f.Type != wanted)
      continue;
    std::memcpy(Key, &key, sizeof(key));
    *FileType = f.Type;
    *NameGuid = f.Name;
    *Attributes = f.Attributes;
    *Size = f.Data.size();
    return EFI_SUCCESS;
  }
  std::memcpy(Key, &key, sizeof(key));
  return EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI Fv2Volume::ReadFile(const EFI_FIRMWARE_VOLUME2_PROTOCOL *This,
                                      const EFI_GUID *NameGuid, VOID **Buffer, UINTN *BufferSize,
                                      EFI_FV_FILETYPE *FoundType,
                                      EFI_FV_FILE_ATTRIBUTES *FileAttributes,
                                      UINT32 *AuthenticationStatus) {
  if (This == nullptr || NameGuid == nullptr || BufferSize == nullptr || FoundType == nullptr ||
      FileAttributes == nullptr || AuthenticationStatus == nullptr)
    return EFI_INVALID_PARAMETER;
  Fv2Volume &fv = From(This);
  ++fv.readFileCalls_;
  for (const ParsedFile &f : fv.files_) {
    if (!(f.Name == *NameGuid))
      continue;
    *FoundType = f.Type;
    *FileAttributes = f.Attributes;
    *AuthenticationStatus = 0;
    if (Buffer == nullptr) { // size query only
      *BufferSize = f.Data.size();
      return EFI_SUCCESS;
    }
    if (*Buffer == nullptr) {
      VOID *out = nullptr;
      EFI_STATUS s = fv.bootServices_->AllocatePool(EfiBootServicesData, f.Data.size(), &out);
      if (EFI_ERROR(s))
        return EFI_OUT_OF_RESOURCES;
      *Buffer = out;
    } else if (*BufferSize < f.Data.size()) {
      std::memcpy(*Buffer, f.Data.data(), *BufferSize);
      *BufferSize = f.Data.size();
      return EFI_WARN_BUFFER_TOO_SMALL;
    }
    std::memcpy(*Buffer, f.Data.data(), f.Data.size());
    *BufferSize = f.Data.size();
    return EFI_SUCCESS;
  }
  return EFI_NOT_FOUND;
}

} // namespace sim::fv
