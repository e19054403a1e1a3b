// Firmware volumes as real bytes: a builder that lays out FFS files in a PI
// firmware volume (header checksum, block map, FFS header checksums, erase
// polarity 1, 8-byte file alignment), and a reader that walks them back.
#pragma once
#include "Pi/PiFirmwareFile.h"
#include "Pi/PiFirmwareVolume.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim::fv {

struct FfsFile {
  EFI_GUID Name{};
  EFI_FV_FILETYPE Type = EFI_FV_FILETYPE_RAW;
  std::vector<uint8_t> Data; // contents after the 24-byte header
};

constexpr uint32_t kFvBlockSize = 0x1000;
constexpr uint16_t kFvHeaderLength = 0x48;     // header with a two-entry block map
constexpr uint32_t kFvAttributes = 0x0004FEFF; // read/write enabled, erase polarity 1

// A volume of `size` bytes (0: just large enough, rounded to a block) holding
// `files` in order. Throws std::length_error when they do not fit.
std::vector<uint8_t> BuildVolume(const std::vector<FfsFile> &files, uint64_t size = 0);

// Fills the FFS header of a file of `totalSize` bytes (header included) with
// valid checksums and the state of a fully written file.
EFI_FFS_FILE_HEADER MakeFileHeader(const EFI_GUID &name, EFI_FV_FILETYPE type, uint32_t totalSize);
// 16-bit sum of the header bytes (valid headers sum to 0).
uint16_t HeaderChecksum16(std::span<const uint8_t> header);

struct ParsedFile {
  EFI_GUID Name;
  EFI_FV_FILETYPE Type;
  EFI_FFS_FILE_ATTRIBUTES Attributes;
  uint64_t Offset; // of the FFS header inside the volume
  std::span<const uint8_t> Data;
};

// The valid files of a volume, in order; stops at free space. Returns nothing
// for a volume whose header is not valid.
std::optional<std::vector<ParsedFile>> ParseVolume(std::span<const uint8_t> volume);

} // namespace sim::fv
