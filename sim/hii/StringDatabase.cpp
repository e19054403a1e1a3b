#include "sim/hii/StringDatabase.h"

#include "Uefi/UefiHii.h"

#include <cstring>

namespace sim {

namespace {

uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return uint16_t(b[at] | b[at + 1] << 8);
}
uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16;
}

// Reads a NUL-terminated UCS-2 string at `at`; advances `at` past it.
bool ReadUcs2(std::span<const uint8_t> b, size_t &at, std::u16string &out) {
  out.clear();
  for (;;) {
    if (at + 2 > b.size())
      return false;
    char16_t c = char16_t(Le16(b, at));
    at += 2;
    if (c == 0)
      return true;
    out.push_back(c);
  }
}

// SCSU text that stays in the default single-byte window: ASCII only.
bool ReadScsuAscii(std::span<const uint8_t> b, size_t &at, std::u16string &out) {
  out.clear();
  for (;;) {
    if (at >= b.size())
      return false;
    uint8_t c = b[at++];
    if (c == 0)
      return true;
    if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r'))
      return false;
    out.push_back(char16_t(c));
  }
}

} // namespace

std::optional<HiiStringDatabase::StringPackage> ParseStringPackage(std::span<const uint8_t> b,
                                                                   std::string &error) {
  constexpr size_t kFixed = sizeof(EFI_HII_STRING_PACKAGE_HDR);
  if (b.size() < kFixed + 1) {
    error = "string package shorter than its header";
    return std::nullopt;
  }
  const uint32_t hdrSize = Le32(b, 4);
  const uint32_t infoOffset = Le32(b, 8);
  if (hdrSize < kFixed + 1 || hdrSize > b.size() || infoOffset < hdrSize || infoOffset > b.size()) {
    error = "string package header sizes out of range";
    return std::nullopt;
  }
  HiiStringDatabase::StringPackage package;
  package.LanguageName = Le16(b, 44);
  const uint8_t *lang = b.data() + kFixed;
  const void *nul = std::memchr(lang, 0, hdrSize - kFixed);
  if (nul == nullptr) {
    error = "language code without terminator";
    return std::nullopt;
  }
  package.Language.assign(reinterpret_cast<const char *>(lang),
                          static_cast<const uint8_t *>(nul) - lang);

  size_t at = infoOffset;
  uint32_t id = 1;
  std::u16string text;
  auto store = [&](std::u16string value) -> bool {
    if (id > 0xFFFF)
      return false;
    package.Strings[uint16_t(id++)] = std::move(value);
    return true;
  };
  for (;;) {
    if (at >= b.size()) {
      error = "string blocks run past the package";
      return std::nullopt;
    }
    const uint8_t type = b[at++];
    bool ok = true;
    switch (type) {
    case EFI_HII_SIBT_END:
      return package;
    case EFI_HII_SIBT_STRING_UCS2_FONT:
      ++at; // font identifier
      [[fallthrough]];
    case EFI_HII_SIBT_STRING_UCS2:
      ok = ReadUcs2(b, at, text) && store(text);
      break;
    case EFI_HII_SIBT_STRINGS_UCS2_FONT:
      ++at;
      [[fallthrough]];
    case EFI_HII_SIBT_STRINGS_UCS2: {
      ok = at + 2 <= b.size();
      const uint16_t count = ok ? Le16(b, at) : 0;
      at += 2;
      for (uint16_t i = 0; ok && i < count; ++i)
        ok = ReadUcs2(b, at, text) && store(text);
      break;
    }
    case EFI_HII_SIBT_STRING_SCSU_FONT:
      ++at;
      [[fallthrough]];
    case EFI_HII_SIBT_STRING_SCSU:
      ok = ReadScsuAscii(b, at, text) && store(text);
      break;
    case EFI_HII_SIBT_DUPLICATE: {
      ok = at + 2 <= b.size();
      const uint16_t of = ok ? Le16(b, at) : 0;
      at += 2;
      auto found = package.Strings.find(of);
      ok = ok && found != package.Strings.end() && store(found->second);
      break;
    }
    case EFI_HII_SIBT_SKIP1:
      ok = at + 1 <= b.size();
      id += ok ? b[at] : 0;
      at += 1;
      break;
    case EFI_HII_SIBT_SKIP2:
      ok = at + 2 <= b.size();
      id += ok ? Le16(b, at) : 0;
      at += 2;
      break;
    case EFI_HII_SIBT_EXT1:
      ok = at + 2 <= b.size() && b[at + 1] >= 3;
      at += ok ? b[at + 1] - 1 : 0;
      break;
    case EFI_HII_SIBT_EXT2:
      ok = at + 3 <= b.size() && Le16(b, at + 1) >= 4;
      at += ok ? Le16(b, at + 1) - 1 : 0;
      break;
    case EFI_HII_SIBT_EXT4:
      ok = at + 5 <= b.size() && Le32(b, at + 1) >= 6;
      at += ok ? Le32(b, at + 1) - 1 : 0;
      break;
    default:
      error = "unknown string block type " + std::to_string(type);
      return std::nullopt;
    }
    if (!ok || at > b.size()) {
      error = "malformed string block of type " + std::to_string(type);
      return std::nullopt;
    }
  }
}

uint32_t HiiStringDatabase::DeclaredSize(const void *list) {
  if (list == nullptr)
    return 0;
  uint32_t size;
  std::memcpy(&size, static_cast<const uint8_t *>(list) + 16, sizeof(size));
  return size;
}

HiiStringDatabase::AddResult HiiStringDatabase::AddPackageList(std::span<const uint8_t> b) {
  AddResult result;
  constexpr size_t kListHeader = sizeof(EFI_HII_PACKAGE_LIST_HEADER);
  if (b.size() < kListHeader) {
    result.Error = "package list shorter than its header";
    return result;
  }
  const uint32_t declared = Le32(b, 16);
  if (declared < kListHeader || declared > b.size()) {
    result.Error = "package list length out of range";
    return result;
  }
  b = b.first(declared);
  PackageList list;
  std::memcpy(&list.Guid, b.data(), sizeof(EFI_GUID));
  size_t at = kListHeader;
  for (;;) {
    if (at + 4 > b.size()) {
      result.Error = "package list without end package";
      return result;
    }
    const uint32_t header = Le32(b, at);
    const uint32_t length = HiiPackageLength(header);
    const uint8_t type = HiiPackageType(header);
    if (length < 4 || length > b.size() - at) {
      result.Error = "package length out of range";
      return result;
    }
    if (type == EFI_HII_PACKAGE_END)
      break;
    if (type == EFI_HII_PACKAGE_STRINGS) {
      auto package = ParseStringPackage(b.subspan(at, length), result.Error);
      if (!package)
        return result;
      list.Packages.push_back(std::move(*package));
    }
    at += length;
  }
  result.Handle = next_++;
  lists_[result.Handle] = std::move(list);
  return result;
}

bool HiiStringDatabase::Remove(uint64_t handle) {
  return lists_.erase(handle) != 0;
}

const HiiStringDatabase::PackageList *HiiStringDatabase::Find(uint64_t handle) const {
  auto it = lists_.find(handle);
  return it == lists_.end() ? nullptr : &it->second;
}

std::optional<std::u16string> HiiStringDatabase::GetString(uint64_t handle, uint16_t id,
                                                           const std::string &language) const {
  const PackageList *list = Find(handle);
  if (list == nullptr)
    return std::nullopt;
  for (const StringPackage &package : list->Packages) {
    if (!language.empty() && package.Language != language)
      continue;
    auto found = package.Strings.find(id);
    if (found != package.Strings.end())
      return found->second;
    if (language.empty())
      break;
  }
  return std::nullopt;
}

EFI_STATUS HiiStringDatabase::CopyString(uint64_t handle, uint16_t id, UINTN *length,
                                         CHAR16 *buffer) const {
  if (length == nullptr || id == 0 || (buffer == nullptr && *length != 0))
    return EFI_INVALID_PARAMETER;
  if (Find(handle) == nullptr)
    return EFI_INVALID_PARAMETER;
  auto text = GetString(handle, id);
  if (!text)
    return EFI_NOT_FOUND;
  const UINTN needed = text->size() + 1;
  if (*length < needed) {
    *length = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, text->c_str(), needed * sizeof(CHAR16));
  *length = needed;
  return EFI_SUCCESS;
}

} // namespace sim
