#include "sim/core/VariableStore.h"

#include "sim/core/Errors.h"
#include "sim/core/Guid.h"
#include "sim/core/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

namespace sim {

namespace {
constexpr UINT32 kAccessBits = EFI_VARIABLE_BOOTSERVICE_ACCESS | EFI_VARIABLE_RUNTIME_ACCESS;
constexpr UINT32 kSupportedAttributes = EFI_VARIABLE_NON_VOLATILE |
                                        EFI_VARIABLE_BOOTSERVICE_ACCESS |
                                        EFI_VARIABLE_RUNTIME_ACCESS | EFI_VARIABLE_APPEND_WRITE;
// Longest name accepted, in characters (the firmware's own limit is similar).
constexpr size_t kMaxNameLength = 1024;
} // namespace

size_t VariableStore::Footprint(const Variable &v) {
  return (v.Name.size() + 1) * sizeof(CHAR16) + sizeof(EFI_GUID) + sizeof(UINT32) + v.Data.size();
}

size_t VariableStore::Used() const {
  size_t n = 0;
  for (const auto &v : variables_)
    n += Footprint(v);
  return n;
}

bool VariableStore::Visible(const Variable &v) const {
  return !runtime_ || (v.Attributes & EFI_VARIABLE_RUNTIME_ACCESS);
}

const VariableStore::Variable *VariableStore::Find(std::u16string_view name,
                                                   const EFI_GUID &guid) const {
  for (const auto &v : variables_)
    if (v.Guid == guid && v.Name == name)
      return &v;
  return nullptr;
}

VariableStore::Variable *VariableStore::FindMutable(std::u16string_view name,
                                                    const EFI_GUID &guid) {
  return const_cast<Variable *>(Find(name, guid));
}

void VariableStore::Put(Variable variable) {
  if (auto *v = FindMutable(variable.Name, variable.Guid))
    *v = std::move(variable);
  else
    variables_.push_back(std::move(variable));
}

bool VariableStore::Erase(std::u16string_view name, const EFI_GUID &guid) {
  auto it = std::find_if(variables_.begin(), variables_.end(),
                         [&](const Variable &v) { return v.Guid == guid && v.Name == name; });
  if (it == variables_.end())
    return false;
  variables_.erase(it);
  return true;
}

void VariableStore::DropVolatile() {
  std::erase_if(variables_,
                [](const Variable &v) { return !(v.Attributes & EFI_VARIABLE_NON_VOLATILE); });
}

EFI_STATUS VariableStore::Get(const CHAR16 *name, const EFI_GUID *guid, UINT32 *attributes,
                              UINTN *dataSize, VOID *data) const {
  if (name == nullptr || guid == nullptr || dataSize == nullptr)
    return EFI_INVALID_PARAMETER;
  if (name[0] == 0)
    return EFI_NOT_FOUND;
  const Variable *v = Find(std::u16string_view(name, WideLength(name, kMaxNameLength + 1)), *guid);
  if (v == nullptr || !Visible(*v))
    return EFI_NOT_FOUND;
  if (*dataSize < v->Data.size()) {
    *dataSize = v->Data.size();
    if (attributes != nullptr)
      *attributes = v->Attributes;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (data == nullptr && !v->Data.empty())
    return EFI_INVALID_PARAMETER;
  if (!v->Data.empty())
    std::memcpy(data, v->Data.data(), v->Data.size());
  *dataSize = v->Data.size();
  if (attributes != nullptr)
    *attributes = v->Attributes;
  return EFI_SUCCESS;
}

EFI_STATUS VariableStore::GetNextName(UINTN *nameSize, CHAR16 *name, EFI_GUID *guid) const {
  if (nameSize == nullptr || name == nullptr || guid == nullptr)
    return EFI_INVALID_PARAMETER;
  // The given name must be NUL-terminated within the given buffer size.
  size_t maxChars = *nameSize / sizeof(CHAR16);
  size_t length = WideLength(name, maxChars);
  if (length == maxChars)
    return EFI_INVALID_PARAMETER;
  std::vector<const Variable *> visible;
  for (const auto &v : variables_)
    if (Visible(v))
      visible.push_back(&v);
  size_t next = 0;
  if (length != 0) {
    std::u16string_view current(name, length);
    auto it = std::find_if(visible.begin(), visible.end(), [&](const Variable *v) {
      return v->Guid == *guid && v->Name == current;
    });
    if (it == visible.end())
      return EFI_INVALID_PARAMETER;
    next = size_t(it - visible.begin()) + 1;
  }
  if (next >= visible.size())
    return EFI_NOT_FOUND;
  const Variable *v = visible[next];
  UINTN needed = (v->Name.size() + 1) * sizeof(CHAR16);
  if (*nameSize < needed) {
    *nameSize = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  std::memcpy(name, v->Name.c_str(), needed);
  *nameSize = needed;
  *guid = v->Guid;
  return EFI_SUCCESS;
}

EFI_STATUS VariableStore::Set(const CHAR16 *name, const EFI_GUID *guid, UINT32 attributes,
                              UINTN dataSize, const VOID *data) {
  if (name == nullptr || name[0] == 0 || guid == nullptr)
    return EFI_INVALID_PARAMETER;
  if (dataSize != 0 && data == nullptr)
    return EFI_INVALID_PARAMETER;
  size_t length = WideLength(name, kMaxNameLength + 1);
  if (length > kMaxNameLength)
    return EFI_INVALID_PARAMETER;
  if (attributes &
      (EFI_VARIABLE_AUTHENTICATED_WRITE_ACCESS |
       EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS | EFI_VARIABLE_HARDWARE_ERROR_RECORD))
    return EFI_UNSUPPORTED;
  if (attributes & ~kSupportedAttributes)
    return EFI_INVALID_PARAMETER;
  if ((attributes & EFI_VARIABLE_RUNTIME_ACCESS) && !(attributes & EFI_VARIABLE_BOOTSERVICE_ACCESS))
    return EFI_INVALID_PARAMETER;
  if (runtime_ && (attributes & kAccessBits) &&
      (!(attributes & EFI_VARIABLE_RUNTIME_ACCESS) || !(attributes & EFI_VARIABLE_NON_VOLATILE)))
    return EFI_INVALID_PARAMETER;

  std::u16string key(name, length);
  bool append = attributes & EFI_VARIABLE_APPEND_WRITE;
  UINT32 stored = attributes & ~EFI_VARIABLE_APPEND_WRITE;
  Variable *existing = FindMutable(key, *guid);
  if (existing != nullptr && !Visible(*existing))
    existing = nullptr; // a boot-service variable does not exist for the OS
  bool deleting = (stored & kAccessBits) == 0 || (dataSize == 0 && !append);

  if (deleting) {
    if (existing == nullptr)
      return EFI_NOT_FOUND;
    // Deleting with other attributes than the variable's is refused, except
    // the plain forms: attributes 0, or size 0 with the same attributes.
    if (stored != 0 && stored != existing->Attributes)
      return EFI_INVALID_PARAMETER;
    writes_.push_back({key, *guid, existing->Attributes, existing->Data, std::nullopt, phase_});
    Erase(key, *guid);
    return EFI_SUCCESS;
  }
  if (existing != nullptr && existing->Attributes != stored)
    return EFI_INVALID_PARAMETER;
  if (append && dataSize == 0)
    return EFI_SUCCESS; // nothing to append: no write at all

  auto *bytes = static_cast<const uint8_t *>(data);
  Variable next{key, *guid, stored, {}};
  if (existing != nullptr && append)
    next.Data = existing->Data;
  next.Data.insert(next.Data.end(), bytes, bytes + dataSize);
  size_t used = Used() - (existing ? Footprint(*existing) : 0);
  if (used + Footprint(next) > capacity_)
    return EFI_OUT_OF_RESOURCES;

  Write w{key, *guid, stored, std::nullopt, next.Data, phase_};
  if (existing != nullptr) {
    w.Before = existing->Data;
    existing->Data = std::move(next.Data);
  } else {
    variables_.push_back(std::move(next));
  }
  writes_.push_back(std::move(w));
  return EFI_SUCCESS;
}

EFI_STATUS VariableStore::QueryInfo(UINT32 attributes, UINT64 *maximumStorage,
                                    UINT64 *remainingStorage, UINT64 *maximumVariableSize) const {
  if (maximumStorage == nullptr || remainingStorage == nullptr || maximumVariableSize == nullptr ||
      (attributes & kAccessBits) == 0)
    return EFI_INVALID_PARAMETER;
  *maximumStorage = capacity_;
  size_t used = Used();
  *remainingStorage = used >= capacity_ ? 0 : capacity_ - used;
  *maximumVariableSize = capacity_;
  return EFI_SUCCESS;
}

std::vector<uint8_t> VariableStore::SerializeNonVolatile() const {
  nlohmann::json list = nlohmann::json::array();
  for (const auto &v : variables_) {
    if (!(v.Attributes & EFI_VARIABLE_NON_VOLATILE))
      continue;
    list.push_back({{"name", ToUtf8(v.Name)},
                    {"guid", GuidToString(v.Guid)},
                    {"attributes", v.Attributes},
                    {"data", ToHex(v.Data)}});
  }
  std::string text = nlohmann::json{{"variables", list}}.dump(2) + "\n";
  return {text.begin(), text.end()};
}

void VariableStore::LoadNonVolatile(const std::vector<uint8_t> &bytes, const std::string &origin) {
  std::vector<Variable> loaded;
  try {
    auto doc = nlohmann::json::parse(bytes.begin(), bytes.end());
    for (const auto &item : doc.at("variables")) {
      Variable v;
      v.Name = ToUtf16(item.at("name").get<std::string>());
      auto guid = ParseGuid(item.at("guid").get<std::string>());
      auto data = FromHex(item.at("data").get<std::string>());
      if (!guid || !data || v.Name.empty())
        throw SimulationError("bad variable entry " + item.dump());
      v.Guid = *guid;
      v.Attributes = item.at("attributes").get<UINT32>();
      v.Data = std::move(*data);
      loaded.push_back(std::move(v));
    }
  } catch (const nlohmann::json::exception &e) {
    throw SimulationError(origin + ": " + e.what());
  } catch (const SimulationError &e) {
    throw SimulationError(origin + ": " + e.what());
  }
  variables_ = std::move(loaded);
}

} // namespace sim
