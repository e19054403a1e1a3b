// HOB search over hand-laid lists: the walk, the GUID match, the cursor and
// the configuration-table order, and lists that are broken.
#include "tpm_platform/core/HobList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace TpmPlatform {
namespace {

constexpr EFI_GUID kWanted = {
    0xEFDC4223, 0x0CFF, 0x4106, {0xBF, 0xF5, 0xFD, 0x01, 0x5D, 0x25, 0x82, 0xF9}};
constexpr EFI_GUID kOther = {0x11111111, 0x2222, 0x3333, {4, 5, 6, 7, 8, 9, 10, 11}};

// A HOB list laid out byte by byte, as an earlier boot phase leaves it.
class HobList {
public:
  HobList &Add(UINT16 type, UINT16 length, const EFI_GUID *name = nullptr,
               std::vector<UINT8> data = {}) {
    size_t at = bytes_.size();
    // Room for whatever is written, even past a deliberately short length.
    size_t room = length < 8 ? 8 : length;
    if (name != nullptr && room < 24)
      room = 24;
    if (!data.empty() && room < 24 + data.size())
      room = 24 + data.size();
    bytes_.resize(at + room, 0);
    EFI_HOB_GENERIC_HEADER header = {type, length, 0};
    std::memcpy(&bytes_[at], &header, sizeof header);
    if (name)
      std::memcpy(&bytes_[at + 8], name, sizeof *name);
    if (!data.empty())
      std::memcpy(&bytes_[at + 24], data.data(), data.size());
    return *this;
  }
  HobList &Guid(const EFI_GUID &name, std::vector<UINT8> data) {
    return Add(EFI_HOB_TYPE_GUID_EXTENSION, UINT16(24 + data.size()), &name, data);
  }
  HobList &End() { return Add(EFI_HOB_TYPE_END_OF_HOB_LIST, 8); }
  const EFI_HOB_GENERIC_HEADER *Start() const {
    return reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(bytes_.data());
  }
  const UINT8 *At(size_t offset) const { return bytes_.data() + offset; }

private:
  std::vector<UINT8> bytes_;
};

TEST(HobSearch, FindsTheFirstMatchingGuidHobAndAdvancesTheCursor) {
  HobList list;
  list.Add(EFI_HOB_TYPE_HANDOFF, 56)
      .Guid(kOther, {1, 2, 3, 4, 5, 6, 7, 8})
      .Guid(kWanted, {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8})
      .Guid(kWanted, {0xB1, 0, 0, 0, 0, 0, 0, 0})
      .End();
  const EFI_HOB_GENERIC_HEADER *cursor = list.Start();
  const VOID *data = nullptr;
  UINTN size = 0;
  ASSERT_EQ(GetNextGuidHob(&cursor, &kWanted, &data, &size), EFI_SUCCESS);
  EXPECT_EQ(data, list.At(56 + 32 + 24));
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(reinterpret_cast<const UINT8 *>(cursor), list.At(56 + 32 + 32));
  // The next search starts behind the first match.
  ASSERT_EQ(GetNextGuidHob(&cursor, &kWanted, &data, nullptr), EFI_SUCCESS);
  EXPECT_EQ(*static_cast<const UINT8 *>(data), 0xB1);
  EXPECT_EQ(GetNextGuidHob(&cursor, &kWanted, &data, &size), EFI_NOT_FOUND);
}

TEST(HobSearch, StopsWithoutAMatchOnTheseLists) {
  struct Case {
    const char *Name;
    HobList List;
  };
  Case cases[] = {
      {"end of list first", HobList().End().Guid(kWanted, {1})},
      {"only other GUIDs", HobList().Guid(kOther, {1}).End()},
      // A length of 0 cannot be stepped over: the walk ends instead of looping.
      {"zero-length HOB",
       HobList().Add(EFI_HOB_TYPE_MEMORY_ALLOCATION, 0).Guid(kWanted, {1}).End()},
      {"HOB shorter than its header",
       HobList().Add(EFI_HOB_TYPE_RESOURCE_DESCRIPTOR, 4).Guid(kWanted, {1}).End()},
      // A GUID HOB too short for its name carries no data.
      {"GUID HOB shorter than 24 bytes",
       HobList().Add(EFI_HOB_TYPE_GUID_EXTENSION, 16, &kWanted).Guid(kWanted, {1}).End()},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const EFI_HOB_GENERIC_HEADER *cursor = c.List.Start();
    const VOID *data = nullptr;
    EXPECT_EQ(GetNextGuidHob(&cursor, &kWanted, &data, nullptr), EFI_NOT_FOUND);
  }
}

TEST(HobSearch, RejectsAMissingDataPointerAndANullList) {
  HobList list;
  list.Guid(kWanted, {1}).End();
  const EFI_HOB_GENERIC_HEADER *cursor = list.Start();
  EXPECT_EQ(GetNextGuidHob(&cursor, &kWanted, nullptr, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ(cursor, list.Start());
  EXPECT_EQ(GetNextHob(EFI_HOB_TYPE_GUID_EXTENSION, nullptr), nullptr);
  cursor = nullptr;
  const VOID *data = nullptr;
  EXPECT_EQ(GetNextGuidHob(&cursor, &kWanted, &data, nullptr), EFI_NOT_FOUND);
}

TEST(HobSearch, ConfigurationTableIsSearchedFromTheLastHobListEntry) {
  HobList first, second;
  first.Guid(kWanted, {0x11}).End();
  second.Guid(kWanted, {0x22}).End();
  HobList empty;
  empty.End();
  int vendorTable = 0;
  EFI_CONFIGURATION_TABLE table[] = {
      {gEfiHobListGuid, const_cast<EFI_HOB_GENERIC_HEADER *>(first.Start())},
      {kOther, &vendorTable},
      {gEfiHobListGuid, const_cast<EFI_HOB_GENERIC_HEADER *>(second.Start())},
      {gEfiHobListGuid, const_cast<EFI_HOB_GENERIC_HEADER *>(empty.Start())},
  };
  auto found = [&](UINTN count) {
    auto *data = static_cast<const UINT8 *>(FindGuidHobData(count, table, &kWanted));
    return data ? *data : 0;
  };
  EXPECT_EQ(found(4), 0x22); // the empty last list gives nothing; the one before does
  EXPECT_EQ(found(2), 0x11);
  EXPECT_EQ(found(0), 0);
  EXPECT_EQ(FindGuidHobData(4, table, &kOther), nullptr);
}

} // namespace
} // namespace TpmPlatform
