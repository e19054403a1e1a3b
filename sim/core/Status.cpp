// The board names statuses with the drivers' own table (support/Format.h), so
// a report says what the driver's %r would say.
#include "sim/core/Status.h"
#include "sim/core/Text.h"

#include "support/Format.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace sim {

namespace {
constexpr EFI_STATUS kError = EFI_STATUS(1) << 63;
constexpr EFI_STATUS kBit62 = EFI_STATUS(1) << 62;
constexpr EFI_STATUS kBit61 = EFI_STATUS(1) << 61;

// Every code class the library's table covers, with the highest index it names.
struct Range {
  EFI_STATUS Base;
  EFI_STATUS Last;
};
constexpr Range kNamedRanges[] = {
    {0, 4}, {kBit61, 1}, {kError, 30}, {kError | kBit61, 2}, {kError | kBit62, 2}};
} // namespace

std::string StatusText(EFI_STATUS status) {
  if (const CHAR8 *name = StatusName(status))
    return name;
  return Printf("EFI_STATUS(0x%llX)", (unsigned long long)status);
}

std::optional<EFI_STATUS> ParseStatus(std::string_view text) {
  for (const Range &r : kNamedRanges)
    for (EFI_STATUS i = 0; i <= r.Last; ++i) {
      const CHAR8 *found = StatusName(r.Base | i);
      if (found == nullptr)
        continue;
      std::string_view name = found;
      if (text == name || (name.substr(0, 4) == "EFI_" && text == name.substr(4)))
        return r.Base | i;
    }
  if (text.empty())
    return std::nullopt;
  std::string copy(text);
  char *end = nullptr;
  unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
  if (end == copy.c_str() || *end != '\0')
    return std::nullopt;
  return EFI_STATUS(value);
}

} // namespace sim
