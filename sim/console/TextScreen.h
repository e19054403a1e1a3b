// The board's 80x25 text screen with a cursor. Text is written at the cursor;
// a character in the last column leaves the cursor there until the next
// character or line end (so an 80-column line takes one row), and writing
// below the last row scrolls the screen up. Every PrintLine is also kept in a
// transcript, the lines as the drivers sent them.
#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class TextScreen {
public:
  static constexpr size_t kColumns = 80;
  static constexpr size_t kRows = 25;

  TextScreen();

  void Clear();
  void Print(std::u16string_view text);
  void PrintLine(std::u16string_view text);
  // False (and no move) when the position lies outside the screen.
  bool SetCursor(size_t column, size_t row);
  size_t CursorColumn() const { return column_; }
  size_t CursorRow() const { return row_; }

  // The rows as UTF-8, trailing blanks removed.
  std::vector<std::string> Rows() const;
  // Rows() without the trailing empty rows.
  std::vector<std::string> UsedRows() const;
  const std::vector<std::u16string> &Transcript() const { return transcript_; }
  // Bumped by every change (terminal redraws only when it moved).
  unsigned long Revision() const { return revision_; }

private:
  void Put(char16_t c);
  void NewLine();

  std::array<std::array<char16_t, kColumns>, kRows> cells_;
  size_t column_ = 0;
  size_t row_ = 0;
  bool pendingWrap_ = false;
  std::vector<std::u16string> transcript_;
  unsigned long revision_ = 0;
};

} // namespace sim
