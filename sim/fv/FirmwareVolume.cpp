#include "sim/fv/FirmwareVolume.h"

#include <cstring>
#include <stdexcept>

namespace sim::fv {
namespace {

constexpr uint64_t Align8(uint64_t v) {
  return (v + 7) & ~uint64_t(7);
}

// Files are written with erase polarity 1: state bits are stored inverted.
constexpr uint8_t kWrittenState = static_cast<uint8_t>(
    ~(EFI_FILE_HEADER_CONSTRUCTION | EFI_FILE_HEADER_VALID | EFI_FILE_DATA_VALID));

uint32_t Size24(const EFI_FFS_FILE_HEADER &h) {
  return h.Size[0] | h.Size[1] << 8 | h.Size[2] << 16;
}

} // namespace

uint16_t HeaderChecksum16(std::span<const uint8_t> header) {
  uint16_t sum = 0;
  for (size_t i = 0; i + 1 < header.size(); i += 2)
    sum = static_cast<uint16_t>(sum + (header[i] | header[i + 1] << 8));
  return sum;
}

EFI_FFS_FILE_HEADER MakeFileHeader(const EFI_GUID &name, EFI_FV_FILETYPE type, uint32_t totalSize) {
  EFI_FFS_FILE_HEADER h{};
  h.Name = name;
  h.Type = type;
  h.Attributes = 0;
  h.Size[0] = totalSize & 0xFF;
  h.Size[1] = (totalSize >> 8) & 0xFF;
  h.Size[2] = (totalSize >> 16) & 0xFF;
  // The header checksum is taken with State and IntegrityCheckFile at zero.
  h.IntegrityCheckHeader = 0;
  h.IntegrityCheckFile = 0;
  h.State = 0;
  uint8_t sum = 0;
  const auto *bytes = reinterpret_cast<const uint8_t *>(&h);
  for (size_t i = 0; i < sizeof(h); ++i)
    sum = static_cast<uint8_t>(sum + bytes[i]);
  h.IntegrityCheckHeader = static_cast<uint8_t>(0x100 - sum);
  h.IntegrityCheckFile = FFS_FIXED_CHECKSUM;
  h.State = kWrittenState;
  return h;
}

std::vector<uint8_t> BuildVolume(const std::vector<FfsFile> &files, uint64_t size) {
  uint64_t needed = kFvHeaderLength;
  for (const auto &f : files)
    needed = Align8(needed) + sizeof(EFI_FFS_FILE_HEADER) + f.Data.size();
  if (size == 0)
    size = (needed + kFvBlockSize - 1) / kFvBlockSize * kFvBlockSize;
  if (needed > size || size % kFvBlockSize != 0)
    throw std::length_error("firmware volume: files do not fit in " + std::to_string(size) +
                            " bytes");

  std::vector<uint8_t> fv(size, 0xFF);
  EFI_FIRMWARE_VOLUME_HEADER h{};
  h.FileSystemGuid = gEfiFirmwareFileSystem2Guid;
  h.FvLength = size;
  h.Signature = EFI_FVH_SIGNATURE;
  h.Attributes = kFvAttributes;
  h.HeaderLength = kFvHeaderLength;
  h.ExtHeaderOffset = 0;
  h.Revision = EFI_FVH_REVISION;
  h.BlockMap[0] = {static_cast<uint32_t>(size / kFvBlockSize), kFvBlockSize};
  std::memset(fv.data(), 0, kFvHeaderLength);
  std::memcpy(fv.data(), &h, sizeof(h)); // block map terminator {0, 0} stays zero
  const uint16_t sum = HeaderChecksum16({fv.data(), kFvHeaderLength});
  const uint16_t checksum = static_cast<uint16_t>(0x10000 - sum);
  std::memcpy(fv.data() + offsetof(EFI_FIRMWARE_VOLUME_HEADER, Checksum), &checksum, 2);

  uint64_t offset = kFvHeaderLength;
  for (const auto &f : files) {
    offset = Align8(offset);
    const uint32_t total = static_cast<uint32_t>(sizeof(EFI_FFS_FILE_HEADER) + f.Data.size());
    if (total > 0xFFFFFF)
      throw std::length_error("FFS file larger than 16 MiB");
    const EFI_FFS_FILE_HEADER fh = MakeFileHeader(f.Name, f.Type, total);
    std::memcpy(fv.data() + offset, &fh, sizeof(fh));
    if (!f.Data.empty())
      std::memcpy(fv.data() + offset + sizeof(fh), f.Data.data(), f.Data.size());
    offset += total;
  }
  return fv;
}

std::optional<std::vector<ParsedFile>> ParseVolume(std::span<const uint8_t> volume) {
  if (volume.size() < sizeof(EFI_FIRMWARE_VOLUME_HEADER))
    return std::nullopt;
  EFI_FIRMWARE_VOLUME_HEADER h;
  std::memcpy(&h, volume.data(), sizeof(h));
  if (h.Signature != EFI_FVH_SIGNATURE || h.FvLength > volume.size() ||
      h.HeaderLength < sizeof(h) || h.HeaderLength > h.FvLength ||
      HeaderChecksum16(volume.subspan(0, h.HeaderLength)) != 0)
    return std::nullopt;

  std::vector<ParsedFile> files;
  uint64_t offset = Align8(h.HeaderLength);
  while (offset + sizeof(EFI_FFS_FILE_HEADER) <= h.FvLength) {
    EFI_FFS_FILE_HEADER fh;
    std::memcpy(&fh, volume.data() + offset, sizeof(fh));
    const uint32_t total = Size24(fh);
    if (fh.State == 0xFF || total < sizeof(fh) || total > h.FvLength - offset)
      break; // free space or damage: nothing valid follows
    if (fh.State == kWrittenState)
      files.push_back({fh.Name, fh.Type, fh.Attributes, offset,
                       volume.subspan(offset + sizeof(fh), total - sizeof(fh))});
    offset = Align8(offset + total);
  }
  return files;
}

} // namespace sim::fv
