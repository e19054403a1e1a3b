// Conversions between the drivers' UTF-16 strings and the host's UTF-8, and
// the hex form of byte strings used in reports and state files.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);
// Length of a NUL-terminated UTF-16 string, at most max characters.
size_t WideLength(const CHAR16 *text, size_t max = SIZE_MAX);

std::string ToHex(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> FromHex(std::string_view text);
// printf into a string of the length the text needs: never truncated; an
// output error (a bad format or conversion) throws std::runtime_error.
std::string Printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// "0x1F" style for reports.
std::string HexNumber(uint64_t value, int digits = 0);
// "31" or "0x1F" (never octal: "010" is ten); nullopt for anything else or
// a value above UINT64_MAX.
std::optional<uint64_t> ParseUnsigned(std::string_view text);

} // namespace sim
