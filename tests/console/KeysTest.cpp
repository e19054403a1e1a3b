// Key names and the terminal's escape sequences.
#include "sim/console/Keys.h"
#include "sim/core/Errors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<EFI_INPUT_KEY> Decode(const std::string &bytes, bool flush = true) {
  sim::TerminalKeyDecoder decoder;
  std::vector<EFI_INPUT_KEY> keys;
  for (unsigned char b : bytes)
    if (auto key = decoder.Feed(b))
      keys.push_back(*key);
  if (flush)
    if (auto key = decoder.Flush())
      keys.push_back(*key);
  return keys;
}

TEST(TerminalKeyDecoder, FunctionKeysFromEveryTerminalFamily) {
  struct Case {
    const char *Bytes;
    UINT16 Scan;
  };
  const Case cases[] = {
      {"\x1bOP", SCAN_F1},    {"\x1bOQ", SCAN_F2},   {"\x1bOR", SCAN_F3},   {"\x1bOS", SCAN_F4},
      {"\x1b[11~", SCAN_F1},  {"\x1b[12~", SCAN_F2}, {"\x1b[13~", SCAN_F3}, {"\x1b[14~", SCAN_F4},
      {"\x1b[[A", SCAN_F1},   {"\x1b[[B", SCAN_F2},  {"\x1b[[C", SCAN_F3},  {"\x1b[[D", SCAN_F4},
      {"\x1b[21~", SCAN_F10}, {"\x1b[A", SCAN_UP},   {"\x1b[B", SCAN_DOWN},
  };
  for (const auto &c : cases) {
    auto keys = Decode(c.Bytes, false);
    ASSERT_EQ(keys.size(), 1u) << c.Bytes + 1;
    EXPECT_EQ(keys[0].ScanCode, c.Scan) << c.Bytes + 1;
    EXPECT_EQ(keys[0].UnicodeChar, 0) << c.Bytes + 1;
  }
}

TEST(TerminalKeyDecoder, PlainBytesEscapeAndUnknownSequences) {
  auto keys = Decode("a\r\x7f");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].UnicodeChar, u'a');
  EXPECT_EQ(keys[1].UnicodeChar, u'\r');
  EXPECT_EQ(keys[2].UnicodeChar, 0x08);

  // A lone ESC is a key once the time-out flushes it.
  keys = Decode("\x1b");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].ScanCode, SCAN_ESC);

  // A modified key (Shift-F3) is dropped whole; the next key still decodes.
  keys = Decode("\x1b[1;2R\x1bOR");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].ScanCode, SCAN_F3);

  // ESC ESC: the first is a key, the second starts a sequence.
  keys = Decode("\x1b\x1bOQ");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].ScanCode, SCAN_ESC);
  EXPECT_EQ(keys[1].ScanCode, SCAN_F2);
}

TEST(KeyList, NamesRoundTripAndUnknownNamesFail) {
  auto keys = sim::ParseKeyList("F3,f1,Enter,esc,x,Space");
  ASSERT_EQ(keys.size(), 6u);
  EXPECT_EQ(keys[0].ScanCode, SCAN_F3);
  EXPECT_EQ(keys[1].ScanCode, SCAN_F1);
  EXPECT_EQ(keys[2].UnicodeChar, u'\r');
  EXPECT_EQ(keys[3].ScanCode, SCAN_ESC);
  EXPECT_EQ(keys[4].UnicodeChar, u'x');
  EXPECT_EQ(keys[5].UnicodeChar, u' ');
  EXPECT_EQ(sim::KeyName(keys[0]), "F3");
  EXPECT_EQ(sim::KeyName(keys[4]), "x");
  EXPECT_TRUE(sim::ParseKeyList("").empty());
  EXPECT_THROW(sim::ParseKeyList("F3,F13"), sim::SimulationError);
  EXPECT_THROW(sim::ParseKeyList("F3,,F4"), sim::SimulationError);
}

} // namespace
