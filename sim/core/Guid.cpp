#include "sim/core/Guid.h"
#include "sim/core/Text.h"

#include "Pi/PiHob.h"
#include "Tcg/TcgProtocol.h"
#include "Uefi/UefiSpec.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace sim {

std::string GuidToString(const EFI_GUID &g) {
  return Printf("%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
}

std::optional<EFI_GUID> ParseGuid(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    return std::nullopt;
  auto hex = [&](size_t at, size_t digits, uint64_t &out) {
    out = 0;
    for (size_t i = 0; i < digits; ++i) {
      char c = text[at + i];
      int v = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                     : -1;
      if (v < 0)
        return false;
      out = out << 4 | unsigned(v);
    }
    return true;
  };
  EFI_GUID g{};
  uint64_t v;
  if (!hex(0, 8, v))
    return std::nullopt;
  g.Data1 = UINT32(v);
  if (!hex(9, 4, v))
    return std::nullopt;
  g.Data2 = UINT16(v);
  if (!hex(14, 4, v))
    return std::nullopt;
  g.Data3 = UINT16(v);
  const size_t at[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!hex(at[i], 2, v))
      return std::nullopt;
    g.Data4[i] = UINT8(v);
  }
  return g;
}

bool GuidLess::operator()(const EFI_GUID &a, const EFI_GUID &b) const {
  return std::memcmp(&a, &b, sizeof(EFI_GUID)) < 0;
}

namespace {
std::map<EFI_GUID, std::string, GuidLess> &Names() {
  static std::map<EFI_GUID, std::string, GuidLess> names = {
      {gEfiLoadedImageProtocolGuid, "gEfiLoadedImageProtocolGuid"},
      {gEfiDevicePathProtocolGuid, "gEfiDevicePathProtocolGuid"},
      {gEfiSimpleTextInProtocolGuid, "gEfiSimpleTextInProtocolGuid"},
      {gEfiSimpleTextOutProtocolGuid, "gEfiSimpleTextOutProtocolGuid"},
      {gEfiEventReadyToBootGuid, "gEfiEventReadyToBootGuid"},
      {gEfiEventExitBootServicesGuid, "gEfiEventExitBootServicesGuid"},
      {gEfiGlobalVariableGuid, "gEfiGlobalVariableGuid"},
      {gEfiHobListGuid, "gEfiHobListGuid"},
  };
  return names;
}
} // namespace

std::string GuidName(const EFI_GUID &guid) {
  auto &names = Names();
  auto it = names.find(guid);
  return it == names.end() ? GuidToString(guid) : it->second;
}

void RegisterGuidName(const EFI_GUID &guid, std::string name) {
  Names()[guid] = std::move(name);
}

} // namespace sim
