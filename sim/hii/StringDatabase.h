// A small HII string database: takes HII package lists (the format images
// carry their strings in), keeps the string packages, and answers string
// requests by package-list handle, string ID and language. Malformed input
// never reaches the store: AddPackageList rejects it with a reason.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

class HiiStringDatabase {
public:
  struct StringPackage {
    std::string Language;  // "en-US"
    uint16_t LanguageName; // string ID naming the language
    std::map<uint16_t, std::u16string> Strings;
  };
  struct PackageList {
    EFI_GUID Guid;
    std::vector<StringPackage> Packages;
  };

  // Parses and stores a package list; returns its handle (1, 2, ...) or the
  // reason it was rejected.
  struct AddResult {
    uint64_t Handle = 0;
    std::string Error;
  };
  AddResult AddPackageList(std::span<const uint8_t> bytes);
  // The byte size a package list announces in its header (0 when too short).
  static uint32_t DeclaredSize(const void *list);

  bool Remove(uint64_t handle);
  const PackageList *Find(uint64_t handle) const;

  // The string in the given language (empty: the first package), or nullopt.
  std::optional<std::u16string> GetString(uint64_t handle, uint16_t id,
                                          const std::string &language = "") const;

  // Copies a string as the firmware's GetString does: *length is the
  // capacity in characters on entry and the characters needed (terminator
  // included) on return. EFI_INVALID_PARAMETER, EFI_NOT_FOUND or
  // EFI_BUFFER_TOO_SMALL as the case is.
  EFI_STATUS CopyString(uint64_t handle, uint16_t id, UINTN *length, CHAR16 *buffer) const;

private:
  std::map<uint64_t, PackageList> lists_;
  uint64_t next_ = 1;
};

// Parses one string package (header included); nullopt and a reason when it
// is malformed.
std::optional<HiiStringDatabase::StringPackage> ParseStringPackage(std::span<const uint8_t> bytes,
                                                                   std::string &error);

} // namespace sim
