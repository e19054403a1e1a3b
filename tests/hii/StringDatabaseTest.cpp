// The board's HII string database against the package list stored in
// TpmPlatformDxe, and against damaged lists.
#include "sim/hii/StringDatabase.h"
#include "Uefi/UefiHii.h"
#include "hii/HandBuiltPackages.h"
#include "sim/hii/ImageStrings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> DriverList() {
  const uint32_t size = sim::HiiStringDatabase::DeclaredSize(TpmPlatformDxeStrings);
  return std::vector<uint8_t>(TpmPlatformDxeStrings, TpmPlatformDxeStrings + size);
}

using hiitest::ListWithBlocks;
using hiitest::Ucs2Block;

TEST(HiiStringDatabase, DriverPackageListHoldsEveryScreenToken) {
  sim::HiiStringDatabase db;
  auto added = db.AddPackageList(DriverList());
  ASSERT_NE(added.Handle, 0u) << added.Error;
  const auto *list = db.Find(added.Handle);
  ASSERT_EQ(list->Packages.size(), 1u);
  EXPECT_EQ(list->Packages[0].Language, "en-US");
  EXPECT_EQ(db.GetString(added.Handle, list->Packages[0].LanguageName), u"English");
  for (uint16_t token = 2; token <= 28; ++token) {
    auto text = db.GetString(added.Handle, token);
    ASSERT_TRUE(text) << "token " << token;
    EXPECT_FALSE(text->empty()) << "token " << token;
    EXPECT_LT(text->size(), 1280u) << "token " << token;
  }
  EXPECT_FALSE(db.GetString(added.Handle, 29));
}

TEST(HiiStringDatabase, CopyStringSizesLikeTheFirmware) {
  sim::HiiStringDatabase db;
  auto handle = db.AddPackageList(ListWithBlocks([] {
                    auto b = Ucs2Block(u"English");
                    auto c = Ucs2Block(u"abc");
                    b.insert(b.end(), c.begin(), c.end());
                    b.push_back(EFI_HII_SIBT_END);
                    return b;
                  }()))
                    .Handle;
  ASSERT_NE(handle, 0u);
  CHAR16 buffer[8] = {u'x', u'x', u'x', u'x'};
  UINTN length = 3;
  EXPECT_EQ(db.CopyString(handle, 2, &length, buffer), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(buffer[0], u'x');
  EXPECT_EQ(db.CopyString(handle, 2, &length, buffer), EFI_SUCCESS);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(db.CopyString(handle, 3, &length, buffer), EFI_NOT_FOUND);
  EXPECT_EQ(db.CopyString(handle + 1, 2, &length, buffer), EFI_INVALID_PARAMETER);
  EXPECT_EQ(db.CopyString(handle, 0, &length, buffer), EFI_INVALID_PARAMETER);
}

TEST(HiiStringDatabase, SkipAndDuplicateBlocksNumberStrings) {
  std::vector<uint8_t> blocks = Ucs2Block(u"English");  // 1
  blocks.insert(blocks.end(), {EFI_HII_SIBT_SKIP1, 3}); // 2, 3, 4 skipped
  auto five = Ucs2Block(u"five");                       // 5
  blocks.insert(blocks.end(), five.begin(), five.end());
  blocks.insert(blocks.end(), {EFI_HII_SIBT_DUPLICATE, 5, 0});     // 6 = 5
  blocks.insert(blocks.end(), {EFI_HII_SIBT_EXT1, 0x99, 4, 0xAA}); // ignored
  blocks.insert(blocks.end(), {EFI_HII_SIBT_SKIP2, 0x02, 0x01});   // 7 .. 0x108 skipped
  auto last = Ucs2Block(u"last");                                  // 0x109
  blocks.insert(blocks.end(), last.begin(), last.end());
  blocks.push_back(EFI_HII_SIBT_END);
  sim::HiiStringDatabase db;
  auto added = db.AddPackageList(ListWithBlocks(blocks));
  ASSERT_NE(added.Handle, 0u) << added.Error;
  EXPECT_FALSE(db.GetString(added.Handle, 2));
  EXPECT_EQ(db.GetString(added.Handle, 5), u"five");
  EXPECT_EQ(db.GetString(added.Handle, 6), u"five");
  EXPECT_FALSE(db.GetString(added.Handle, 7));
  EXPECT_EQ(db.GetString(added.Handle, 0x109), u"last");
}

TEST(HiiStringDatabase, RejectsDamagedLists) {
  const auto good = DriverList();
  struct Case {
    const char *Name;
    std::vector<uint8_t> Bytes;
  };
  std::vector<Case> cases;
  cases.push_back(
      {"shorter than its header", std::vector<uint8_t>(good.begin(), good.begin() + 10)});
  {
    auto b = good;
    b.resize(b.size() - 8); // declared length now runs past the bytes
    cases.push_back({"truncated", b});
  }
  {
    auto b = good;
    b[20] = 0xFF; // string package length beyond the list
    b[21] = 0xFF;
    b[22] = 0x7F;
    cases.push_back({"package length", b});
  }
  {
    auto b = good;
    b[20 + 4] = 0xFF; // HdrSize beyond the package
    b[20 + 5] = 0xFF;
    cases.push_back({"header size", b});
  }
  {
    auto b = ListWithBlocks({EFI_HII_SIBT_STRING_UCS2, 'a', 0}); // no terminator, no END
    cases.push_back({"unterminated string", b});
  }
  cases.push_back({"unknown block", ListWithBlocks({0x77, EFI_HII_SIBT_END})});
  cases.push_back({"duplicate of nothing", ListWithBlocks({EFI_HII_SIBT_DUPLICATE, 9, 0, 0})});
  for (const auto &c : cases) {
    sim::HiiStringDatabase db;
    auto added = db.AddPackageList(c.Bytes);
    EXPECT_EQ(added.Handle, 0u) << c.Name;
    EXPECT_FALSE(added.Error.empty()) << c.Name;
  }
}

} // namespace
