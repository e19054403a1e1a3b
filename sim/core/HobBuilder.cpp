#include "sim/core/HobBuilder.h"

#include "sim/core/Errors.h"

#include <cstring>

namespace sim {

namespace {
constexpr size_t Align8(size_t n) {
  return (n + 7) & ~size_t(7);
}

void AppendHob(std::vector<uint8_t> &out, UINT16 type, std::span<const uint8_t> prefix,
               std::span<const uint8_t> body) {
  size_t length = Align8(sizeof(EFI_HOB_GENERIC_HEADER) + prefix.size() + body.size());
  if (length > 0xFFF8)
    throw SimulationError("a HOB of " + std::to_string(length) + " bytes exceeds HobLength");
  EFI_HOB_GENERIC_HEADER header{type, UINT16(length), 0};
  size_t at = out.size();
  out.resize(at + length, 0);
  std::memcpy(out.data() + at, &header, sizeof header);
  if (!prefix.empty())
    std::memcpy(out.data() + at + sizeof header, prefix.data(), prefix.size());
  if (!body.empty())
    std::memcpy(out.data() + at + sizeof header + prefix.size(), body.data(), body.size());
}
} // namespace

HobBuilder::HobBuilder(UINT32 bootMode) : bootMode_(bootMode) {}

HobBuilder &HobBuilder::AddGuid(const EFI_GUID &name, std::span<const uint8_t> data) {
  AppendHob(hobs_, EFI_HOB_TYPE_GUID_EXTENSION,
            {reinterpret_cast<const uint8_t *>(&name), sizeof name}, data);
  return *this;
}

HobBuilder &HobBuilder::AddRaw(UINT16 type, std::span<const uint8_t> body) {
  AppendHob(hobs_, type, {}, body);
  return *this;
}

void HobBuilder::BuildInto(std::vector<uint64_t> &words) const {
  size_t total = sizeof(EFI_HOB_HANDOFF_INFO_TABLE) + hobs_.size() + sizeof(EFI_HOB_GENERIC_HEADER);
  words.assign(total / 8, 0);
  auto *base = reinterpret_cast<uint8_t *>(words.data());
  auto endAddress = reinterpret_cast<uintptr_t>(base + total - sizeof(EFI_HOB_GENERIC_HEADER));

  EFI_HOB_HANDOFF_INFO_TABLE handoff{};
  handoff.Header = {EFI_HOB_TYPE_HANDOFF, UINT16(sizeof handoff), 0};
  handoff.Version = EFI_HOB_HANDOFF_TABLE_VERSION;
  handoff.BootMode = bootMode_;
  handoff.EfiEndOfHobList = endAddress;
  std::memcpy(base, &handoff, sizeof handoff);
  if (!hobs_.empty())
    std::memcpy(base + sizeof handoff, hobs_.data(), hobs_.size());
  EFI_HOB_GENERIC_HEADER end{EFI_HOB_TYPE_END_OF_HOB_LIST, UINT16(sizeof end), 0};
  std::memcpy(base + total - sizeof end, &end, sizeof end);
}

std::vector<uint8_t> HobBuilder::Bytes() const {
  std::vector<uint64_t> words;
  BuildInto(words);
  auto *p = reinterpret_cast<const uint8_t *>(words.data());
  return {p, p + words.size() * 8};
}

} // namespace sim
