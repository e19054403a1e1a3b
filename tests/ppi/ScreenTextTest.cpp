// Sentence composition limits: the split of a long sentence, token texts
// longer than their buffer, sentences longer than the line buffer, and a
// missing string package.
#include "tpm_platform/ppi/ScreenText.h"
#include "Uefi/UefiHii.h"
#include "hii/HandBuiltPackages.h"
#include "ppi/PpiTestBoard.h"
#include "tpm_platform/core/Globals.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ppitest {
namespace {

using namespace TpmPlatform;

// A package list whose string 2 is `text` (string 1 names the language).
Bytes PackageWith(const std::u16string &text) {
  Bytes blocks = hiitest::Ucs2Block(u"English");
  Bytes second = hiitest::Ucs2Block(text);
  blocks.insert(blocks.end(), second.begin(), second.end());
  blocks.push_back(EFI_HII_SIBT_END);
  return hiitest::ListWithBlocks(blocks);
}

class ScreenText : public ::testing::Test {
protected:
  // A board after a plain boot: the driver's globals point at its services.
  ScreenText() : board_({{"tpm", {{"present", false}}}}) { board_->Boot(); }

  void UseString(const std::u16string &text) {
    package_ = PackageWith(text);
    VOID *interface = nullptr;
    ASSERT_EQ(gBS->LocateProtocol(&gStringPackageProtocolGuid, nullptr, &interface), EFI_SUCCESS);
    auto *protocol = static_cast<StringPackageProtocol *>(interface);
    ASSERT_EQ(protocol->AddPackageList(package_.data(), &gStringPackageHandle), EFI_SUCCESS);
  }

  std::u16string Read(UINT16 token, EFI_STATUS *status) {
    CHAR16 *buffer = nullptr;
    *status = GetScreenString(token, &buffer);
    EXPECT_NE(buffer, nullptr);
    std::u16string text = buffer ? buffer : u"";
    if (buffer)
      gBS->FreePool(buffer);
    return text;
  }

  TextScreenProtocol *Screen() { return board_.Console().ScreenProtocol(); }

  PpiTestBoard board_;
  Bytes package_;
};

TEST_F(ScreenText, TokenTextsUpToTheirBuffer) {
  EFI_STATUS status;
  UseString(std::u16string(1279, u'a'));
  EXPECT_EQ(Read(2, &status), std::u16string(1279, u'a'));
  EXPECT_EQ(status, EFI_SUCCESS);

  // Longer than the buffer: refused by the package, the buffer stays empty.
  UseString(std::u16string(2000, u'b'));
  EXPECT_EQ(Read(2, &status), u"");
  EXPECT_EQ(status, EFI_BUFFER_TOO_SMALL);

  // A token the package does not hold.
  EXPECT_EQ(Read(40, &status), u"");
  EXPECT_EQ(status, EFI_NOT_FOUND);
}

// A pool that fails the text's buffer, with an error or with success and no
// buffer: no text, the failure reported, and a sentence keeps what it had.
TEST_F(ScreenText, NoBufferNoText) {
  struct Case {
    const char *Rule;
    EFI_STATUS Status;
  };
  const Case cases[] = {
      {"AllocatePool=EFI_OUT_OF_RESOURCES", EFI_OUT_OF_RESOURCES},
      {"AllocatePool=EFI_DEVICE_ERROR", EFI_DEVICE_ERROR},
      {"AllocatePool=NULL", EFI_OUT_OF_RESOURCES},
  };
  UseString(u"word");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Rule);
    board_->Faults().Add(sim::FaultRule::Parse(c.Rule));
    CHAR16 *buffer = reinterpret_cast<CHAR16 *>(this); // anything but NULL
    EXPECT_EQ(GetScreenString(2, &buffer), c.Status);
    EXPECT_EQ(buffer, nullptr);
    CHAR16 line[kScreenLineChars] = u"Kept ";
    AppendToken(line, 2);
    EXPECT_EQ(std::u16string(line), u"Kept ");
    board_->Faults().ClearRules();
  }
  CHAR16 line[kScreenLineChars] = u"Kept ";
  AppendToken(line, 2);
  EXPECT_EQ(std::u16string(line), u"Kept word");
}

TEST_F(ScreenText, SentencesStopAtTheLineBuffer) {
  UseString(std::u16string(100, u'w'));
  CHAR16 line[kScreenLineChars + 8];
  std::fill(std::begin(line), std::end(line), u'#');
  line[0] = 0;
  AppendToken(line, 2);
  AppendToken(line, 2);
  AppendToken(line, 2); // 300 characters do not fit: 255 do
  EXPECT_EQ(std::u16string(line), std::u16string(255, u'w'));
  EXPECT_EQ(line[kScreenLineChars], u'#'); // nothing written past the buffer
}

TEST_F(ScreenText, PrintWrappedSplitsOnce) {
  struct Case {
    const char *Name;
    std::u16string Sentence;
    std::vector<std::u16string> Lines;
  };
  std::u16string blankAt40 = std::u16string(40, u'a') + u" " + std::u16string(39, u'b');
  std::u16string blankAt79 = std::u16string(79, u'a') + u" " + u"tail";
  std::u16string noBlank = std::u16string(85, u'c');
  std::u16string blankAt1 = u"a " + std::u16string(90, u'd');
  std::u16string long2 = std::u16string(10, u'e') + u" " + std::u16string(170, u'f');
  const Case cases[] = {
      {"79 characters", std::u16string(79, u'x'), {std::u16string(79, u'x')}},
      {"80 with its blank at 40",
       blankAt40,
       {std::u16string(40, u'a') + u" ", std::u16string(39, u'b')}},
      {"blank at 79", blankAt79, {std::u16string(79, u'a') + u" ", u"tail"}},
      {"no blank", noBlank, {u"cc", std::u16string(83, u'c')}},
      {"only blank at 1", blankAt1, {u"a ", std::u16string(90, u'd')}},
      {"rest longer than a row",
       long2,
       {std::u16string(10, u'e') + u" ", std::u16string(170, u'f')}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t before = board_.Transcript().size();
    std::u16string copy = c.Sentence;
    PrintWrapped(Screen(), copy.data());
    EXPECT_EQ(copy, c.Sentence); // the line is restored
    auto transcript = board_.Transcript();
    EXPECT_EQ(std::vector<std::u16string>(transcript.begin() + before, transcript.end()), c.Lines);
  }
}

TEST(ScreenTextWithoutPackage, EveryTokenIsEmptyButTheScreenKeepsItsShape) {
  json patch = StatePatch(StateRecord(6));
  patch["string_package"] = {{"install", "none"}};
  patch["console"] = {{"keys", "F1"}};
  PpiTestBoard board(patch);
  board->Boot();
  // Blank line, four separators, request, note, separator, separator (no
  // warning), blank, confirmation, key line, blank: empty but for the
  // driver's own separator between the two action words.
  std::vector<std::u16string> expected(13, u"");
  expected[5] = u" and ";
  expected[10] = u" and ";
  EXPECT_EQ(board.Transcript(), expected);
}

} // namespace
} // namespace ppitest
