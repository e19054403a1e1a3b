// Readable failure messages for UTF-16 text.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

inline std::string Show(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[12];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out + "\"";
}
