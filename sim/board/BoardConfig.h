// The board file: a JSON document with one section per part of the board.
// Readers are typed and strict: a wrong type, a value out of range, or a key
// nobody reads is a BoardConfigError naming the file, the field path and the
// reason ("board.json: tpm.vendor_id: expected an integer").
#pragma once
#include "Uefi/UefiBaseType.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using json = nlohmann::json;

// One JSON object of the board file. Every key read is marked; after
// Configure the board rejects the keys no reader asked for.
class ConfigSection {
public:
  // node may be null: an absent section, every key takes its default.
  ConfigSection(const json *node, std::string file, std::string path);

  bool Present() const { return node_ != nullptr; }
  bool Has(std::string_view key) const;
  const std::string &File() const { return file_; }
  const std::string &Path() const { return path_; }

  // Integers may be written as JSON numbers or as strings "0x1F" / "31".
  uint64_t Integer(std::string_view key, uint64_t fallback, uint64_t min = 0,
                   uint64_t max = UINT64_MAX);
  bool Bool(std::string_view key, bool fallback);
  std::string String(std::string_view key, std::string fallback);
  // One of `choices`.
  std::string Choice(std::string_view key, std::string fallback,
                     const std::vector<std::string> &choices);
  std::vector<std::string> Strings(std::string_view key, std::vector<std::string> fallback);
  // A hex string ("00ff10") or an array of byte values.
  std::vector<uint8_t> Bytes(std::string_view key, std::vector<uint8_t> fallback);
  EFI_GUID Guid(std::string_view key, EFI_GUID fallback);
  EFI_STATUS Status(std::string_view key, EFI_STATUS fallback);
  // A nested object (absent: a section with no keys) and arrays of objects.
  ConfigSection &Object(std::string_view key);
  std::vector<ConfigSection *> Objects(std::string_view key);
  // The raw value, marked as read (components with free-form data).
  const json *Raw(std::string_view key);

  // Throws BoardConfigError for `key` of this section.
  [[noreturn]] void Fail(std::string_view key, const std::string &reason) const;
  // Throws for the first key nobody read, here or in any nested section.
  void RejectUnknownKeys() const;

private:
  const json *Get(std::string_view key, json::value_t type, const char *expected);
  std::string KeyPath(std::string_view key) const;

  const json *node_;
  std::string file_;
  std::string path_;
  std::set<std::string, std::less<>> read_;
  std::vector<std::unique_ptr<ConfigSection>> children_;
};

// The parsed board file and its sections.
class BoardConfig {
public:
  // A board file is a few KiB; with inline data a few hundred.
  static constexpr uintmax_t kMaxBoardFile = 4u << 20;
  // Throws BoardConfigError for unreadable files and malformed JSON.
  static BoardConfig FromFile(const std::string &path);
  static BoardConfig FromText(std::string_view text, std::string name);
  // The built-in reference board (sim/board/ReferenceBoard.json).
  static BoardConfig Reference();

  const std::string &Name() const { return name_; }
  const json &Document() const { return *document_; }
  // The section under a top-level key (absent: no keys).
  ConfigSection &Section(std::string_view key);
  // Throws for the first top-level key that is no known section, then for
  // unread keys inside the sections.
  void RejectUnknown(const std::vector<std::string> &knownSections) const;

private:
  std::string name_;
  std::shared_ptr<json> document_;
  std::vector<std::shared_ptr<ConfigSection>> sections_;
};

// The reference board's JSON text (generated from ReferenceBoard.json).
extern const char *const kReferenceBoardJson;

} // namespace sim
