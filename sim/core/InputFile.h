// Reading a file the user named (a board file, an AML table): it must be a
// regular file no larger than what it can hold, so that a device or a huge
// file is refused at once instead of hanging or exhausting memory.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

// Throws InputError "PATH: REASON" for a missing, unreadable, non-regular or
// too large file.
std::vector<uint8_t> ReadInputFile(const std::filesystem::path &path, uintmax_t maxBytes);

} // namespace sim
