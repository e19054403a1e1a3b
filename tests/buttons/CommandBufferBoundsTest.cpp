// Requests whose strings run to the end of the command buffer: the driver reads
// and writes nothing past it, and treats such a string as malformed. (The fuzz
// target smi_command_fuzz puts the buffer before a guard page.)
#include "ButtonBoard.h"

#include <gtest/gtest.h>

namespace {

using namespace buttontest;

constexpr size_t kSize = 4096;

// Fills the string area from `offset` to the end with a unit that is not NUL.
void FillToEnd(sim::OsCommandBuffer &os, size_t offset, char16_t unit = u'A') {
  for (size_t at = offset; at + 1 < kSize; at += 2) {
    os.Bytes()[at] = uint8_t(unit);
    os.Bytes()[at + 1] = uint8_t(unit >> 8);
  }
}

size_t Units(const std::vector<std::u16string> &strings) {
  size_t units = 0;
  for (const auto &s : strings)
    units += s.size() + 1;
  return units;
}

TEST(CommandBufferBounds, UnterminatedNameIsUnknownForGetButtonInfo) {
  ButtonBoard board;
  sim::OsCommandBuffer os = board.Smm().Os();
  ASSERT_EQ(os.Bytes().size(), kSize);
  os.Write32(4, 0);
  os.Write32(12, 0x12);
  FillToEnd(os, 28);
  os.RaiseSoftwareSmi(0xE3);
  EXPECT_EQ(os.Read32(4), 0u);
  EXPECT_EQ(os.Read32(12), 0u);
  // The wipe stops at the end of the buffer.
  for (size_t at = 28; at < kSize; ++at)
    ASSERT_EQ(os.Bytes()[at], 0) << at;
  EXPECT_EQ(os.Read32(0) & 0x90, 0x80u);
}

TEST(CommandBufferBounds, NameEndingInTheLastUnitIsAString) {
  ButtonBoard board;
  sim::OsCommandBuffer os = board.Smm().Os();
  os.Write32(4, 2);
  FillToEnd(os, 28);
  os.Bytes()[kSize - 2] = os.Bytes()[kSize - 1] = 0;
  board.SetPasswordGuard(0);
  os.RaiseSoftwareSmi(0xE3);
  EXPECT_EQ(os.Read32(4), 1u); // well formed, no such button
}

TEST(CommandBufferBounds, ChangingCommandsWithAStringRunningPastTheEnd) {
  struct Case {
    uint32_t Command;
    int Guard;
    std::vector<std::u16string> Complete; // the strings before the one left open
  };
  const Case cases[] = {
      {1, 0, {}},                           // name
      {2, 1, {}},                           // name
      {4, 0, {}},                           // name
      {1, 0, {u"VolumeUpButton"}},          // key-code text
      {1, 1, {u"VolumeUpButton"}},          // key-code text, before the password
      {1, 1, {u"VolumeUpButton", u"E030"}}, // password
      {2, 1, {u"VolumeUpButton"}},          // password
      {3, 1, {u"VolumeUpButton"}},          // password
  };
  for (const Case &c : cases) {
    ButtonBoard board;
    board.SetPasswordGuard(c.Guard);
    board.Passwords().SetAdminPassword(u"secret");
    sim::OsCommandBuffer os = board.Smm().Os();
    os.Write32(4, c.Command);
    os.Write32(8, 1);
    os.Write32(12, 1);
    os.Write32(16, 2);
    os.WriteStrings(c.Complete);
    // '1' keeps a key-code text made of digits up to the very end.
    FillToEnd(os, 28 + 2 * Units(c.Complete), u'1');
    std::vector<uint8_t> before(os.Bytes().begin(), os.Bytes().end());
    os.RaiseSoftwareSmi(0xE3);
    EXPECT_EQ(os.Read32(4), 5u) << c.Command << " " << c.Complete.size();
    EXPECT_EQ(os.Read32(0) & 0x90, 0x80u);
    EXPECT_TRUE(std::equal(before.begin() + 8, before.end(), os.Bytes().begin() + 8));
    EXPECT_TRUE(board.Passwords().CheckCalls().empty());
    // Nothing changed in the table.
    EXPECT_EQ(board.Command(0, {u"VolumeUpButton"}).Strings[1], u"E030");
  }
}

TEST(CommandBufferBounds, PasswordEndingInTheLastUnitIsChecked) {
  ButtonBoard board;
  board.SetPasswordGuard(1);
  board.Passwords().SetAdminPassword(u"secret");
  sim::OsCommandBuffer os = board.Smm().Os();
  os.Write32(4, 2);
  os.Write32(8, 0);
  os.WriteStrings({u"VolumeUpButton"});
  // "<utf-16/>" then spaces fill the rest; the password proper ends the buffer.
  const std::u16string marker = u"<utf-16/>", password = u"secret";
  size_t start = 28 + 2 * 15;
  size_t units = (kSize - start) / 2 - 1; // leave the last unit for the NUL
  std::u16string text(units, u' ');
  text.replace(units - password.size() - marker.size(), marker.size(), marker);
  text.replace(units - password.size(), password.size(), password);
  os.WriteStrings({text}, start);
  os.RaiseSoftwareSmi(0xE3);
  EXPECT_EQ(os.Read32(4), 0u);
  ASSERT_EQ(board.Passwords().CheckCalls().size(), 1u);
  EXPECT_EQ(board.Passwords().CheckCalls()[0].Password, password);
}

} // namespace
