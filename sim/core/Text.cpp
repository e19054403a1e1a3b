#include "sim/core/Text.h"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace sim {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD; // lone surrogate
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    uint8_t b = uint8_t(text[i]);
    uint32_t c;
    size_t n;
    if (b < 0x80) {
      c = b;
      n = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      n = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      n = 4;
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (i + n > text.size()) {
      out += u'\uFFFD';
      break;
    }
    for (size_t k = 1; k < n; ++k)
      c = c << 6 | (uint8_t(text[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

size_t WideLength(const CHAR16 *text, size_t max) {
  size_t n = 0;
  while (n < max && text[n] != 0)
    ++n;
  return n;
}

std::string ToHex(std::span<const uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view text) {
  if (text.size() % 2)
    return std::nullopt;
  std::vector<uint8_t> out;
  out.reserve(text.size() / 2);
  auto nibble = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = nibble(text[i]), lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0)
      return std::nullopt;
    out.push_back(uint8_t(hi << 4 | lo));
  }
  return out;
}

std::string Printf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length < 0 ? 0 : size_t(length), '\0');
  const int written =
      length < 0 ? length : std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  if (written < 0 || written != length)
    throw std::runtime_error(std::string("cannot format \"") + format + "\"");
  return text;
}

std::string HexNumber(uint64_t value, int digits) {
  return Printf("0x%0*llX", digits, (unsigned long long)value);
}

std::optional<uint64_t> ParseUnsigned(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    unsigned d;
    if (c >= '0' && c <= '9')
      d = unsigned(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = unsigned(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = unsigned(c - 'A' + 10);
    else
      return std::nullopt;
    if (value > (UINT64_MAX - d) / base)
      return std::nullopt;
    value = value * base + d;
  }
  return value;
}

} // namespace sim
