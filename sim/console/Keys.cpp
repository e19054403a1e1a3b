#include "sim/console/Keys.h"

#include "sim/core/Errors.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

constexpr UINT16 SCAN_RIGHT = 0x03;
constexpr UINT16 SCAN_LEFT = 0x04;
constexpr UINT16 SCAN_HOME = 0x05;
constexpr UINT16 SCAN_END = 0x06;
constexpr UINT16 SCAN_INSERT = 0x07;
constexpr UINT16 SCAN_DELETE = 0x08;
constexpr UINT16 SCAN_PAGE_UP = 0x09;
constexpr UINT16 SCAN_PAGE_DOWN = 0x0A;
constexpr UINT16 SCAN_F11 = 0x15;
constexpr UINT16 SCAN_F12 = 0x16;

struct NamedKey {
  std::string_view Name;
  EFI_INPUT_KEY Key;
};

constexpr NamedKey kNamedKeys[] = {
    {"F1", {SCAN_F1, 0}},
    {"F2", {SCAN_F2, 0}},
    {"F3", {SCAN_F3, 0}},
    {"F4", {SCAN_F4, 0}},
    {"F5", {0x0F, 0}},
    {"F6", {0x10, 0}},
    {"F7", {0x11, 0}},
    {"F8", {0x12, 0}},
    {"F9", {0x13, 0}},
    {"F10", {SCAN_F10, 0}},
    {"F11", {SCAN_F11, 0}},
    {"F12", {SCAN_F12, 0}},
    {"Esc", {SCAN_ESC, 0}},
    {"Up", {SCAN_UP, 0}},
    {"Down", {SCAN_DOWN, 0}},
    {"Right", {SCAN_RIGHT, 0}},
    {"Left", {SCAN_LEFT, 0}},
    {"Home", {SCAN_HOME, 0}},
    {"End", {SCAN_END, 0}},
    {"Insert", {SCAN_INSERT, 0}},
    {"Delete", {SCAN_DELETE, 0}},
    {"PageUp", {SCAN_PAGE_UP, 0}},
    {"PageDown", {SCAN_PAGE_DOWN, 0}},
    {"Enter", {SCAN_NULL, u'\r'}},
    {"Tab", {SCAN_NULL, u'\t'}},
    {"Backspace", {SCAN_NULL, 0x08}},
    {"Space", {SCAN_NULL, u' '}},
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Escape sequences after ESC.
struct Sequence {
  std::string_view Bytes;
  UINT16 Scan;
};
constexpr Sequence kSequences[] = {
    {"OP", SCAN_F1},      {"OQ", SCAN_F2},       {"OR", SCAN_F3},         {"OS", SCAN_F4},
    {"[11~", SCAN_F1},    {"[12~", SCAN_F2},     {"[13~", SCAN_F3},       {"[14~", SCAN_F4},
    {"[[A", SCAN_F1},     {"[[B", SCAN_F2},      {"[[C", SCAN_F3},        {"[[D", SCAN_F4},
    {"[[E", 0x0F},        {"[15~", 0x0F},        {"[17~", 0x10},          {"[18~", 0x11},
    {"[19~", 0x12},       {"[20~", 0x13},        {"[21~", SCAN_F10},      {"[23~", SCAN_F11},
    {"[24~", SCAN_F12},   {"[A", SCAN_UP},       {"[B", SCAN_DOWN},       {"[C", SCAN_RIGHT},
    {"[D", SCAN_LEFT},    {"OA", SCAN_UP},       {"OB", SCAN_DOWN},       {"OC", SCAN_RIGHT},
    {"OD", SCAN_LEFT},    {"[H", SCAN_HOME},     {"[F", SCAN_END},        {"OH", SCAN_HOME},
    {"OF", SCAN_END},     {"[1~", SCAN_HOME},    {"[4~", SCAN_END},       {"[2~", SCAN_INSERT},
    {"[3~", SCAN_DELETE}, {"[5~", SCAN_PAGE_UP}, {"[6~", SCAN_PAGE_DOWN},
};

} // namespace

std::optional<EFI_INPUT_KEY> ParseKeyName(std::string_view name) {
  for (const NamedKey &k : kNamedKeys)
    if (SameName(k.Name, name))
      return k.Key;
  if (name.size() == 1 && std::isprint(static_cast<unsigned char>(name[0])))
    return EFI_INPUT_KEY{SCAN_NULL, char16_t(name[0])};
  return std::nullopt;
}

std::vector<EFI_INPUT_KEY> ParseKeyList(std::string_view list) {
  std::vector<EFI_INPUT_KEY> keys;
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view name = list.substr(0, comma);
    auto key = ParseKeyName(name);
    if (!key)
      throw SimulationError("unknown key \"" + std::string(name) +
                            "\" (F1..F12, Esc, Enter, Tab, Backspace, Space, arrows, or one "
                            "character)");
    keys.push_back(*key);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return keys;
}

std::string KeyName(const EFI_INPUT_KEY &key) {
  for (const NamedKey &k : kNamedKeys)
    if (k.Key.ScanCode == key.ScanCode && k.Key.UnicodeChar == key.UnicodeChar)
      return std::string(k.Name);
  if (key.ScanCode == SCAN_NULL && key.UnicodeChar >= 0x20 && key.UnicodeChar < 0x7F)
    return std::string(1, char(key.UnicodeChar));
  return "scan " + std::to_string(key.ScanCode) + "/char " + std::to_string(key.UnicodeChar);
}

std::optional<EFI_INPUT_KEY> TerminalKeyDecoder::Feed(unsigned char byte) {
  if (pending_.empty()) {
    if (byte == 0x1B) {
      pending_.push_back(char(byte));
      return std::nullopt;
    }
    if (byte == '\n' || byte == '\r')
      return EFI_INPUT_KEY{SCAN_NULL, u'\r'};
    if (byte == 0x7F)
      return EFI_INPUT_KEY{SCAN_NULL, 0x08};
    return EFI_INPUT_KEY{SCAN_NULL, char16_t(byte)};
  }
  if (pending_.size() == 1 && byte == 0x1B) // ESC ESC: the first one was a key
    return EFI_INPUT_KEY{SCAN_ESC, 0};
  pending_.push_back(char(byte));
  return Finish();
}

std::optional<EFI_INPUT_KEY> TerminalKeyDecoder::Finish() {
  std::string_view body = std::string_view(pending_).substr(1);
  bool prefix = false;
  for (const Sequence &s : kSequences) {
    if (s.Bytes == body) {
      pending_.clear();
      return EFI_INPUT_KEY{s.Scan, 0};
    }
    if (s.Bytes.substr(0, body.size()) == body)
      prefix = true;
  }
  // Some other sequence (modifiers, mouse): wait for its final byte, then
  // drop it.
  const char last = body.back();
  const bool final =
      body.size() >= 2 && (std::isalpha(static_cast<unsigned char>(last)) || last == '~');
  if (!prefix &&
      (final || body.size() > 8 || (body.size() == 1 && body[0] != '[' && body[0] != 'O')))
    pending_.clear();
  return std::nullopt;
}

std::optional<EFI_INPUT_KEY> TerminalKeyDecoder::Flush() {
  if (pending_.empty())
    return std::nullopt;
  const bool loneEscape = pending_.size() == 1;
  pending_.clear();
  if (loneEscape)
    return EFI_INPUT_KEY{SCAN_ESC, 0};
  return std::nullopt;
}

} // namespace sim
