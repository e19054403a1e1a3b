// EFI_LOAD_OPTION bytes as the boot manager stores them in Boot#### variables.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim::bootmgr {

constexpr uint32_t LOAD_OPTION_ACTIVE = 0x00000001;

struct LoadOption {
  uint32_t Attributes = LOAD_OPTION_ACTIVE;
  std::u16string Description;
  std::u16string FilePath; // a media file-path node, e.g. u"\\EFI\\BOOT\\BOOTX64.EFI"
  std::vector<uint8_t> OptionalData;
};

// Attributes, FilePathListLength, Description with its terminator, the device
// path (file-path node and end node), OptionalData.
std::vector<uint8_t> EncodeLoadOption(const LoadOption &option);

// "Boot0003" for option 3.
std::u16string BootOptionName(uint16_t number);

} // namespace sim::bootmgr
