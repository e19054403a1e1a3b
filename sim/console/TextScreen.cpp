#include "sim/console/TextScreen.h"

#include "sim/core/Text.h"

namespace sim {

TextScreen::TextScreen() {
  Clear();
}

void TextScreen::Clear() {
  for (auto &row : cells_)
    row.fill(u' ');
  column_ = row_ = 0;
  pendingWrap_ = false;
  ++revision_;
}

void TextScreen::NewLine() {
  pendingWrap_ = false;
  column_ = 0;
  if (row_ + 1 < kRows) {
    ++row_;
    return;
  }
  for (size_t r = 1; r < kRows; ++r)
    cells_[r - 1] = cells_[r];
  cells_[kRows - 1].fill(u' ');
}

void TextScreen::Put(char16_t c) {
  if (c == u'\n') {
    NewLine();
    return;
  }
  if (c == u'\r') {
    column_ = 0;
    pendingWrap_ = false;
    return;
  }
  if (pendingWrap_)
    NewLine();
  cells_[row_][column_] = c < u' ' ? u' ' : c;
  if (column_ + 1 < kColumns)
    ++column_;
  else
    pendingWrap_ = true;
}

void TextScreen::Print(std::u16string_view text) {
  for (char16_t c : text)
    Put(c);
  ++revision_;
}

void TextScreen::PrintLine(std::u16string_view text) {
  transcript_.emplace_back(text);
  Print(text);
  NewLine();
  ++revision_;
}

bool TextScreen::SetCursor(size_t column, size_t row) {
  if (column >= kColumns || row >= kRows)
    return false;
  column_ = column;
  row_ = row;
  pendingWrap_ = false;
  ++revision_;
  return true;
}

std::vector<std::string> TextScreen::Rows() const {
  std::vector<std::string> rows;
  for (const auto &cells : cells_) {
    std::u16string text(cells.begin(), cells.end());
    text.erase(text.find_last_not_of(u' ') + 1);
    rows.push_back(ToUtf8(text));
  }
  return rows;
}

std::vector<std::string> TextScreen::UsedRows() const {
  auto rows = Rows();
  while (!rows.empty() && rows.back().empty())
    rows.pop_back();
  return rows;
}

} // namespace sim
