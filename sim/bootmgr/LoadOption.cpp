#include "sim/bootmgr/LoadOption.h"
#include "sim/core/Text.h"

#include "Uefi/DevicePath.h"

#include <cstdio>

namespace sim::bootmgr {
namespace {

void Put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(v & 0xFF);
  out.push_back(v >> 8);
}
void PutString(std::vector<uint8_t> &out, const std::u16string &s) {
  for (char16_t c : s)
    Put16(out, static_cast<uint16_t>(c));
  Put16(out, 0);
}

} // namespace

std::vector<uint8_t> EncodeLoadOption(const LoadOption &option) {
  std::vector<uint8_t> path;
  const size_t nodeLength = 4 + 2 * (option.FilePath.size() + 1);
  path.push_back(MEDIA_DEVICE_PATH);
  path.push_back(MEDIA_FILEPATH_DP);
  Put16(path, static_cast<uint16_t>(nodeLength));
  PutString(path, option.FilePath);
  path.push_back(END_DEVICE_PATH_TYPE);
  path.push_back(END_ENTIRE_DEVICE_PATH_SUBTYPE);
  Put16(path, 4);

  std::vector<uint8_t> out;
  out.reserve(4 + 2 + 2 * (option.Description.size() + 1) + path.size() +
              option.OptionalData.size());
  for (int i = 0; i < 4; ++i)
    out.push_back((option.Attributes >> (8 * i)) & 0xFF);
  Put16(out, static_cast<uint16_t>(path.size()));
  PutString(out, option.Description);
  out.insert(out.end(), path.begin(), path.end());
  out.insert(out.end(), option.OptionalData.begin(), option.OptionalData.end());
  return out;
}

std::u16string BootOptionName(uint16_t number) {
  const std::string text = Printf("Boot%04X", number);
  return std::u16string(text.begin(), text.end());
}

} // namespace sim::bootmgr
