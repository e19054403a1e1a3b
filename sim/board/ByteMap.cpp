#include "sim/board/ByteMap.h"

#include "sim/core/Text.h"

namespace sim {

std::vector<std::pair<uint64_t, uint8_t>> ReadByteMap(ConfigSection &section, std::string_view key,
                                                      uint64_t size, const std::string &what) {
  std::vector<std::pair<uint64_t, uint8_t>> out;
  const json *map = section.Raw(key);
  if (map == nullptr)
    return out;
  if (!map->is_object())
    section.Fail(key, "expected an object of \"offset\": byte");
  for (auto it = map->begin(); it != map->end(); ++it) {
    std::string path = std::string(key) + "." + it.key();
    auto offset = ParseUnsigned(it.key());
    if (!offset || *offset >= size)
      section.Fail(path, "offset outside " + what);
    if (!it->is_number_integer() || it->get<int64_t>() < 0 || it->get<int64_t>() > 255)
      section.Fail(path, "expected a byte value 0..255");
    out.emplace_back(*offset, uint8_t(it->get<int64_t>()));
  }
  return out;
}

} // namespace sim
