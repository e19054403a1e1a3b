#include "sim/board/BoardConfig.h"

#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/core/InputFile.h"
#include "sim/core/Status.h"
#include "sim/core/Text.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sim {

ConfigSection::ConfigSection(const json *node, std::string file, std::string path)
    : node_(node), file_(std::move(file)), path_(std::move(path)) {
  if (node_ != nullptr && !node_->is_object())
    throw BoardConfigError(file_, path_, "expected an object");
}

std::string ConfigSection::KeyPath(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

void ConfigSection::Fail(std::string_view key, const std::string &reason) const {
  throw BoardConfigError(file_, key.empty() ? path_ : KeyPath(key), reason);
}

bool ConfigSection::Has(std::string_view key) const {
  return node_ != nullptr && node_->contains(key);
}

const json *ConfigSection::Get(std::string_view key, json::value_t type, const char *expected) {
  read_.emplace(key);
  if (node_ == nullptr)
    return nullptr;
  auto it = node_->find(key);
  if (it == node_->end())
    return nullptr;
  bool ok = it->type() == type || (type == json::value_t::number_unsigned &&
                                   it->is_number_integer() && it->get<int64_t>() >= 0);
  if (!ok)
    Fail(key, std::string("expected ") + expected);
  return &*it;
}

uint64_t ConfigSection::Integer(std::string_view key, uint64_t fallback, uint64_t min,
                                uint64_t max) {
  read_.emplace(key);
  if (!Has(key))
    return fallback;
  const json &v = node_->at(std::string(key));
  uint64_t value = 0;
  if (v.is_number_unsigned() || (v.is_number_integer() && v.get<int64_t>() >= 0)) {
    value = v.get<uint64_t>();
  } else if (v.is_string()) {
    std::string text = v.get<std::string>();
    auto parsed = ParseUnsigned(text);
    if (!parsed)
      Fail(key, "expected an integer (decimal or 0x hex), found \"" + text + "\"");
    value = *parsed;
  } else {
    Fail(key, "expected a non-negative integer");
  }
  if (value < min || value > max)
    Fail(key, "value " + std::to_string(value) + " is outside " + std::to_string(min) + ".." +
                  std::to_string(max));
  return value;
}

bool ConfigSection::Bool(std::string_view key, bool fallback) {
  const json *v = Get(key, json::value_t::boolean, "true or false");
  return v ? v->get<bool>() : fallback;
}

std::string ConfigSection::String(std::string_view key, std::string fallback) {
  const json *v = Get(key, json::value_t::string, "a string");
  return v ? v->get<std::string>() : std::move(fallback);
}

std::string ConfigSection::Choice(std::string_view key, std::string fallback,
                                  const std::vector<std::string> &choices) {
  std::string value = String(key, std::move(fallback));
  if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
    std::string list;
    for (const auto &c : choices)
      list += (list.empty() ? "" : ", ") + c;
    Fail(key, "\"" + value + "\" is not one of " + list);
  }
  return value;
}

std::vector<std::string> ConfigSection::Strings(std::string_view key,
                                                std::vector<std::string> fallback) {
  const json *v = Get(key, json::value_t::array, "an array of strings");
  if (!v)
    return fallback;
  std::vector<std::string> out;
  for (size_t i = 0; i < v->size(); ++i) {
    if (!(*v)[i].is_string())
      Fail(std::string(key) + "[" + std::to_string(i) + "]", "expected a string");
    out.push_back((*v)[i].get<std::string>());
  }
  return out;
}

std::vector<uint8_t> ConfigSection::Bytes(std::string_view key, std::vector<uint8_t> fallback) {
  read_.emplace(key);
  if (!Has(key))
    return fallback;
  const json &v = node_->at(std::string(key));
  if (v.is_string()) {
    auto bytes = FromHex(v.get<std::string>());
    if (!bytes)
      Fail(key, "expected hex digits in pairs");
    return *bytes;
  }
  if (v.is_array()) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < v.size(); ++i) {
      if (!v[i].is_number_integer() || v[i].get<int64_t>() < 0 || v[i].get<int64_t>() > 255)
        Fail(std::string(key) + "[" + std::to_string(i) + "]", "expected a byte value 0..255");
      out.push_back(uint8_t(v[i].get<int64_t>()));
    }
    return out;
  }
  Fail(key, "expected a hex string or an array of bytes");
}

EFI_GUID ConfigSection::Guid(std::string_view key, EFI_GUID fallback) {
  const json *v = Get(key, json::value_t::string, "a GUID string");
  if (!v)
    return fallback;
  auto guid = ParseGuid(v->get<std::string>());
  if (!guid)
    Fail(key, "\"" + v->get<std::string>() + "\" is not a GUID (8-4-4-4-12 hex digits)");
  return *guid;
}

EFI_STATUS ConfigSection::Status(std::string_view key, EFI_STATUS fallback) {
  const json *v = Get(key, json::value_t::string, "a status name such as \"EFI_NOT_FOUND\"");
  if (!v)
    return fallback;
  auto status = ParseStatus(v->get<std::string>());
  if (!status)
    Fail(key, "unknown status \"" + v->get<std::string>() + "\"");
  return *status;
}

ConfigSection &ConfigSection::Object(std::string_view key) {
  const json *v = Get(key, json::value_t::object, "an object");
  children_.push_back(std::make_unique<ConfigSection>(v, file_, KeyPath(key)));
  return *children_.back();
}

std::vector<ConfigSection *> ConfigSection::Objects(std::string_view key) {
  const json *v = Get(key, json::value_t::array, "an array of objects");
  std::vector<ConfigSection *> out;
  if (!v)
    return out;
  for (size_t i = 0; i < v->size(); ++i) {
    std::string path = KeyPath(key) + "[" + std::to_string(i) + "]";
    if (!(*v)[i].is_object())
      throw BoardConfigError(file_, path, "expected an object");
    children_.push_back(std::make_unique<ConfigSection>(&(*v)[i], file_, path));
    out.push_back(children_.back().get());
  }
  return out;
}

const json *ConfigSection::Raw(std::string_view key) {
  read_.emplace(key);
  if (node_ == nullptr)
    return nullptr;
  auto it = node_->find(key);
  return it == node_->end() ? nullptr : &*it;
}

void ConfigSection::RejectUnknownKeys() const {
  if (node_ != nullptr)
    for (auto it = node_->begin(); it != node_->end(); ++it)
      if (!read_.count(it.key()))
        Fail(it.key(), "unknown field");
  for (const auto &child : children_)
    child->RejectUnknownKeys();
}

// ---- BoardConfig --------------------------------------------------------------

namespace {
// Where the parser is in the document ("tpm.vendor_id", "variables.initial[2]"),
// and the keys each open object has: a repeated key is an error, not last-wins.
class JsonPath {
public:
  void Key(const std::string &key, const std::string &file) {
    Frame &top = frames_.back();
    if (!top.Keys.insert(key).second)
      throw BoardConfigError(file, Join(key), "the key appears twice in one object");
    top.Key = key;
  }
  void Open(bool array) { frames_.push_back({array, {}, 0, {}}); }
  void Close() {
    frames_.pop_back();
    Next();
  }
  void Next() {
    if (!frames_.empty() && frames_.back().Array)
      ++frames_.back().Index;
  }
  std::string Join(const std::string &last = {}) const {
    std::string path;
    for (size_t i = 0; i < frames_.size(); ++i) {
      const Frame &f = frames_[i];
      bool isLast = i + 1 == frames_.size();
      if (f.Array)
        path += "[" + std::to_string(f.Index) + "]";
      else if (isLast && !last.empty())
        path += (path.empty() ? "" : ".") + last;
      else if (!f.Key.empty())
        path += (path.empty() ? "" : ".") + f.Key;
    }
    return path;
  }

private:
  struct Frame {
    bool Array;
    std::string Key;
    size_t Index;
    std::set<std::string> Keys;
  };
  std::vector<Frame> frames_;
};
} // namespace

BoardConfig BoardConfig::FromText(std::string_view text, std::string name) {
  BoardConfig config;
  config.name_ = std::move(name);
  JsonPath where;
  auto track = [&](int, json::parse_event_t event, json &parsed) {
    switch (event) {
    case json::parse_event_t::object_start:
      where.Open(false);
      break;
    case json::parse_event_t::array_start:
      where.Open(true);
      break;
    case json::parse_event_t::object_end:
    case json::parse_event_t::array_end:
      where.Close();
      break;
    case json::parse_event_t::key:
      where.Key(parsed.get<std::string>(), config.name_);
      break;
    case json::parse_event_t::value:
      where.Next();
      break;
    }
    return true;
  };
  try {
    config.document_ = std::make_shared<json>(json::parse(text, track));
  } catch (const json::exception &e) {
    std::string what = e.what();
    // "[json.exception.parse_error.101] parse error at line 3, column 5: ..."
    auto at = what.find("parse error");
    throw BoardConfigError(config.name_, where.Join(),
                           at == std::string::npos ? what : what.substr(at));
  }
  if (!config.document_->is_object())
    throw BoardConfigError(config.name_, "", "expected an object at the top level");
  return config;
}

BoardConfig BoardConfig::FromFile(const std::string &path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadInputFile(path, kMaxBoardFile);
  } catch (const InputError &e) {
    // "PATH: reason" -> the board file error's own form.
    std::string what = e.what();
    throw BoardConfigError(path, "", what.substr(std::min(what.size(), path.size() + 2)));
  }
  return FromText(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()),
                  path);
}

BoardConfig BoardConfig::Reference() {
  return FromText(kReferenceBoardJson, "<reference board>");
}

ConfigSection &BoardConfig::Section(std::string_view key) {
  for (auto &s : sections_)
    if (s->Path() == key)
      return *s;
  auto it = document_->find(key);
  const json *node = it == document_->end() ? nullptr : &*it;
  if (node != nullptr && !node->is_object())
    throw BoardConfigError(name_, std::string(key), "expected an object");
  sections_.push_back(std::make_shared<ConfigSection>(node, name_, std::string(key)));
  return *sections_.back();
}

void BoardConfig::RejectUnknown(const std::vector<std::string> &knownSections) const {
  for (auto it = document_->begin(); it != document_->end(); ++it)
    if (std::find(knownSections.begin(), knownSections.end(), it.key()) == knownSections.end())
      throw BoardConfigError(name_, it.key(), "unknown section");
  for (const auto &s : sections_)
    s->RejectUnknownKeys();
}

} // namespace sim
