// The confirmation screen's lines for each operation class, against lines
// built here from the token texts stored in the image.
#include "ppi/PpiTestBoard.h"
#include "sim/core/Text.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/ppi/PpiState.h"
#include "tpm_platform/ppi/ScreenText.h"

#include <gtest/gtest.h>

namespace ppitest {
namespace {

using Lines = std::vector<std::u16string>;

// The one split of a long sentence: after the last blank at index 79 or
// below (down to index 2), else after the second character.
Lines Wrapped(const std::u16string &sentence) {
  if (sentence.size() < 80)
    return {sentence};
  size_t split = 1;
  for (size_t i = 79; i >= 2; --i)
    if (sentence[i] == u' ') {
      split = i;
      break;
    }
  return {sentence.substr(0, split + 1), sentence.substr(split + 1)};
}

std::u16string Words(std::initializer_list<uint16_t> tokens) {
  std::u16string joined;
  size_t index = 0;
  const size_t count = tokens.size();
  for (uint16_t t : tokens) {
    joined += Token(t);
    ++index;
    if (index < count)
      joined += count == 2 ? u" and " : index + 1 == count ? u", and " : u", ";
  }
  return joined;
}

struct Screen {
  int Operation;
  std::u16string Request;
  uint16_t Note;    // 0: none
  uint16_t Warning; // 0: none
  std::u16string Confirmation;
  uint16_t Keys; // key line in mode 1
};

std::vector<Screen> Screens() {
  auto sentence = [](uint16_t opening, std::u16string words) {
    return Token(opening) + words + Token(3);
  };
  return {
      {1, sentence(2, Words({11})), 0, 0, sentence(5, Words({11})), 10},
      {2, sentence(2, Words({12})), 0, 9, sentence(5, Words({12})), 10},
      {3, sentence(2, Words({13})), 0, 0, sentence(5, Words({13})), 10},
      {4, sentence(2, Words({14})), 0, 9, sentence(5, Words({14})), 10},
      {5, sentence(2, Words({17})), 0, 8, sentence(4, Words({17})), 6},
      {6, sentence(2, Words({11, 13})), 23, 0, sentence(5, Words({11, 13})), 10},
      {7, sentence(2, Words({12, 14})), 24, 9, sentence(5, Words({12, 14})), 10},
      {8, sentence(2, Words({15})), 0, 0, sentence(5, Words({15})), 10},
      {9, sentence(2, Words({16})), 0, 0, sentence(5, Words({16})), 10},
      {10, sentence(2, Words({11, 13, 15})), 23, 0, sentence(5, Words({11, 13, 15})), 10},
      {11, sentence(2, Words({12, 14, 16})), 24, 9, sentence(5, Words({12, 14, 16})), 10},
      {12, Token(2) + Token(3), 0, 0, Token(5) + Token(3), 10},
      {13, Token(2) + Token(3), 0, 0, Token(5) + Token(3), 10},
      {14, sentence(2, Words({11, 13, 17})), 25, 7, sentence(4, Words({11, 13, 17})), 6},
      {15, u"", 0, 0, Token(5), 10},
      {16, Token(2) + Token(19), 0, 0, Token(5) + Token(20), 10},
      {17, u"", 0, 0, Token(4), 6},
      {18, Token(2) + Token(21), 0, 0, Token(5) + Token(22), 10},
      {19, u"", 0, 0, Token(5), 10},
      {20, Token(2) + Token(26), 0, 0, Token(5) + Token(27), 10},
      {21, sentence(2, Words({11, 13, 17})), 0, 8, sentence(4, Words({11, 13, 17})), 6},
      {22, sentence(2, Words({11, 13, 17, 11, 13})), 25, 7,
       sentence(4, Words({11, 13, 17, 11, 13})), 6},
      {23, Token(2) + Token(3), 0, 0, Token(5) + Token(3), 10},
  };
}

Lines Expected(const Screen &s, bool blankFirst, bool keyLine) {
  Lines lines;
  if (blankFirst)
    lines.push_back(u"");
  for (int i = 0; i < 4; ++i)
    lines.push_back(Token(28));
  for (auto &l : Wrapped(s.Request))
    lines.push_back(l);
  if (s.Note)
    lines.push_back(Token(s.Note));
  lines.push_back(Token(28));
  if (s.Warning)
    lines.push_back(Token(s.Warning));
  lines.push_back(Token(28));
  lines.push_back(u"");
  for (auto &l : Wrapped(s.Confirmation))
    lines.push_back(l);
  if (keyLine)
    lines.push_back(Token(s.Keys));
  lines.push_back(u"");
  return lines;
}

const char *ConfirmKey(int op) {
  return op == 5 || op == 14 || op == 17 || op == 21 || op == 22 ? "F3" : "F1";
}

TEST(ConfirmationScreen, LinesOfEveryOperation) {
  for (const Screen &s : Screens()) {
    for (uint8_t mode : {1, 0}) {
      SCOPED_TRACE("operation " + std::to_string(s.Operation) + ", mode " + std::to_string(mode));
      Bytes record = StateRecord(uint8_t(s.Operation), {{20, 1}});
      json patch = StatePatch(record);
      patch["console"] = {{"keys", ConfirmKey(s.Operation)}};
      patch["variables"] = {{"initial", {Variable("Setup", kSetupGuid, SetupPattern())}}};
      PpiTestBoard board(patch);
      SetModeAfterStartup(board, mode);
      board->Boot();
      EXPECT_EQ(board.Transcript(), Expected(s, true, mode == 1));
    }
  }
}

TEST(ConfirmationScreen, EverySentenceFitsTwoRows) {
  for (const Screen &s : Screens())
    for (const auto &sentence : {s.Request, s.Confirmation}) {
      EXPECT_LT(sentence.size(), 160u) << s.Operation;
      for (const auto &line : Wrapped(sentence))
        EXPECT_LE(line.size(), 80u) << s.Operation;
    }
  for (uint16_t t : {6, 7, 8, 9, 10, 23, 24, 25, 28})
    EXPECT_LT(Token(t).size(), 80u) << "token " << t;
}

TEST(ConfirmationScreen, ScreenRowsShowTheBandAboveTheCursor) {
  struct Case {
    const char *Name;
    json QrbSetup;
    unsigned BeginRow;
    size_t BandRow; // first separator row
    bool BlankLine;
  };
  const Case cases[] = {
      {"blank line, row 4", {{"size", 181}, {"last_byte", 0}}, 4, 1, true},
      {"no blank line (byte 180 set)", {{"size", 181}, {"last_byte", 1}}, 4, 0, false},
      {"no blank line (absent)", {{"present", false}}, 6, 2, false},
      {"no blank line (too long)", {{"size", 182}, {"last_byte", 0}}, 6, 2, false},
      // A shorter variable has no byte 180: no blank line either.
      {"no blank line (short)", {{"size", 100}, {"last_byte", 0}}, 6, 2, false},
      // A cursor near the top starts the band at the first row.
      {"cursor above row 4", {{"size", 181}, {"last_byte", 0}}, 0, 0, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    json patch = StatePatch(StateRecord(6));
    patch["console"] = {{"keys", "F1"}, {"begin_row", c.BeginRow}};
    patch["ppi"] = {{"qrb_setup", c.QrbSetup}};
    PpiTestBoard board(patch);
    board->Boot();
    auto transcript = board.Transcript();
    ASSERT_FALSE(transcript.empty());
    EXPECT_EQ(transcript[0] == u"", c.BlankLine);
    auto rows = board.Console().Screen().Rows();
    const std::string band = sim::ToUtf8(Token(28));
    for (size_t r = c.BandRow; r < c.BandRow + 4; ++r)
      EXPECT_EQ(rows[r], band) << "row " << r;
    std::string request = sim::ToUtf8(Wrapped(Screens()[5].Request)[0]);
    request.erase(request.find_last_not_of(' ') + 1); // rows lose trailing blanks
    EXPECT_EQ(rows[c.BandRow + 4], request);
  }
}

} // namespace
} // namespace ppitest
