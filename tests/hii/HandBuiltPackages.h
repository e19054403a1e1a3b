// HII package lists built by hand for tests: one English string package
// ("en-US") holding the given string blocks, then the end package.
#pragma once
#include "Uefi/UefiHii.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace hiitest {

inline std::vector<uint8_t> ListWithBlocks(const std::vector<uint8_t> &blocks) {
  std::vector<uint8_t> package(46, 0);
  const char lang[] = "en-US";
  package.insert(package.end(), lang, lang + sizeof(lang));
  const uint32_t hdr = uint32_t(package.size());
  std::memcpy(&package[4], &hdr, 4);
  std::memcpy(&package[8], &hdr, 4);
  package[44] = 1;
  package.insert(package.end(), blocks.begin(), blocks.end());
  const uint32_t header = HiiPackageHeader(uint32_t(package.size()), EFI_HII_PACKAGE_STRINGS);
  std::memcpy(&package[0], &header, 4);

  std::vector<uint8_t> list(20, 0);
  list.insert(list.end(), package.begin(), package.end());
  const uint32_t end = HiiPackageHeader(4, EFI_HII_PACKAGE_END);
  list.insert(list.end(), reinterpret_cast<const uint8_t *>(&end),
              reinterpret_cast<const uint8_t *>(&end) + 4);
  const uint32_t total = uint32_t(list.size());
  std::memcpy(&list[16], &total, 4);
  return list;
}

// An EFI_HII_SIBT_STRING_UCS2 block.
inline std::vector<uint8_t> Ucs2Block(std::u16string_view text) {
  std::vector<uint8_t> b{EFI_HII_SIBT_STRING_UCS2};
  for (char16_t c : text) {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
  }
  b.insert(b.end(), {0, 0});
  return b;
}

} // namespace hiitest
