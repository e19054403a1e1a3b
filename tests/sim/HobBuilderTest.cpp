#include "BoardFixture.h"

#include "Pi/PiHob.h"
#include "sim/core/HobBuilder.h"
#include "sim/core/SystemTables.h"

#include <cstring>

namespace {

constexpr EFI_GUID kSuccess = {
    0xEFDC4223, 0x0CFF, 0x4106, {0xBF, 0xF5, 0xFD, 0x01, 0x5D, 0x25, 0x82, 0xF9}};

template <class T> T At(const std::vector<uint8_t> &bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

TEST(HobBuilderTest, Layout) {
  const uint8_t data[5] = {1, 2, 3, 4, 5};
  sim::HobBuilder builder;
  builder.AddGuid(kSuccess, data).AddGuid(kSuccess, {});
  auto bytes = builder.Bytes();
  // Handoff (56) + GUID HOB 24+5 padded to 32 + empty GUID HOB 24 + end (8).
  ASSERT_EQ(bytes.size(), 56u + 32u + 24u + 8u);
  EXPECT_EQ(At<UINT16>(bytes, 0), EFI_HOB_TYPE_HANDOFF);
  EXPECT_EQ(At<UINT16>(bytes, 2), 56);
  EXPECT_EQ(At<UINT32>(bytes, 8), EFI_HOB_HANDOFF_TABLE_VERSION);
  EXPECT_EQ(At<UINT16>(bytes, 56), EFI_HOB_TYPE_GUID_EXTENSION);
  EXPECT_EQ(At<UINT16>(bytes, 58), 32);
  EXPECT_EQ(At<EFI_GUID>(bytes, 56 + 8), kSuccess);
  EXPECT_EQ(std::memcmp(bytes.data() + 56 + 24, data, 5), 0);
  EXPECT_EQ(bytes[56 + 29], 0); // padding is zero
  EXPECT_EQ(At<UINT16>(bytes, 88 + 2), 24);
  EXPECT_EQ(At<UINT16>(bytes, 112), EFI_HOB_TYPE_END_OF_HOB_LIST);
  EXPECT_EQ(At<UINT16>(bytes, 114), 8);
}

TEST(HobBuilderTest, EndOfHobListPointsAtTheEndHob) {
  sim::HobBuilder builder;
  builder.AddRaw(EFI_HOB_TYPE_UNUSED, std::vector<uint8_t>(3, 0xEE));
  std::vector<uint64_t> words;
  builder.BuildInto(words);
  auto *base = reinterpret_cast<const uint8_t *>(words.data());
  auto *handoff = reinterpret_cast<const EFI_HOB_HANDOFF_INFO_TABLE *>(base);
  auto *end = reinterpret_cast<const EFI_HOB_GENERIC_HEADER *>(handoff->EfiEndOfHobList);
  EXPECT_EQ(reinterpret_cast<const uint8_t *>(end), base + 56 + 16);
  EXPECT_EQ(end->HobType, EFI_HOB_TYPE_END_OF_HOB_LIST);
}

using HobPublishTest = simtest::BoardTest;

TEST_F(HobPublishTest, ListsGoIntoTheConfigurationTableInOrder) {
  const uint8_t first = 1, second = 2;
  EFI_SYSTEM_TABLE *st = board_->SystemTable();
  const UINTN before = st->NumberOfTableEntries; // what the board's parts put there
  board_->Hobs().AddGuid(kSuccess, {&first, 1});
  board_->AddHobList().AddGuid(kSuccess, {&second, 1});
  board_->PublishHobLists();
  board_->PublishHobLists(); // once only
  ASSERT_EQ(st->NumberOfTableEntries, before + 2);
  for (UINTN i = 0; i < 2; ++i) {
    EXPECT_EQ(st->ConfigurationTable[before + i].VendorGuid, gEfiHobListGuid);
    auto *list = static_cast<const uint8_t *>(st->ConfigurationTable[before + i].VendorTable);
    EXPECT_EQ(list[56 + 24], i == 0 ? first : second);
  }
  // InstallConfigurationTable replaces by GUID and deletes with NULL.
  int table = 0;
  constexpr EFI_GUID other = {1, 2, 3, {4}};
  EXPECT_EQ(bs_->InstallConfigurationTable(&other, &table), EFI_SUCCESS);
  EXPECT_EQ(st->NumberOfTableEntries, before + 3);
  EXPECT_EQ(bs_->InstallConfigurationTable(&other, nullptr), EFI_SUCCESS);
  EXPECT_EQ(bs_->InstallConfigurationTable(&other, nullptr), EFI_NOT_FOUND);
  EXPECT_EQ(st->NumberOfTableEntries, before + 2);
}

} // namespace
