#include "sim/smm/OsCommandBuffer.h"
#include "sim/core/Errors.h"
#include "sim/io/IoSpace.h"

#include <algorithm>

namespace sim {

void OsCommandBuffer::Clear() {
  std::fill(bytes_.begin(), bytes_.end(), 0);
}

uint32_t OsCommandBuffer::Read32(size_t offset) const {
  if (offset + 4 > bytes_.size())
    throw SimulationError("command buffer read beyond its end");
  return uint32_t(bytes_[offset]) | uint32_t(bytes_[offset + 1]) << 8 |
         uint32_t(bytes_[offset + 2]) << 16 | uint32_t(bytes_[offset + 3]) << 24;
}

void OsCommandBuffer::Write32(size_t offset, uint32_t value) {
  if (offset + 4 > bytes_.size())
    throw SimulationError("command buffer write beyond its end");
  for (size_t i = 0; i < 4; ++i)
    bytes_[offset + i] = uint8_t(value >> (8 * i));
}

void OsCommandBuffer::WriteStrings(const std::vector<std::u16string> &strings, size_t offset) {
  for (const std::u16string &s : strings) {
    if (offset + 2 * (s.size() + 1) > bytes_.size())
      throw SimulationError("command buffer strings beyond its end");
    for (char16_t unit : s) {
      bytes_[offset++] = uint8_t(unit);
      bytes_[offset++] = uint8_t(unit >> 8);
    }
    bytes_[offset++] = 0;
    bytes_[offset++] = 0;
  }
}

std::u16string OsCommandBuffer::Units(size_t offset, size_t count) const {
  std::u16string units;
  for (size_t i = 0; i < count && offset + 2 * i + 1 < bytes_.size(); ++i)
    units.push_back(char16_t(bytes_[offset + 2 * i] | bytes_[offset + 2 * i + 1] << 8));
  return units;
}

std::vector<std::u16string> OsCommandBuffer::ReadStrings(size_t count, size_t offset) const {
  std::vector<std::u16string> strings;
  while (strings.size() < count) {
    std::u16string s;
    for (;;) {
      if (offset + 1 >= bytes_.size())
        return strings;
      char16_t unit = char16_t(bytes_[offset] | bytes_[offset + 1] << 8);
      offset += 2;
      if (unit == 0)
        break;
      s.push_back(unit);
    }
    strings.push_back(std::move(s));
  }
  return strings;
}

void OsCommandBuffer::RaiseSoftwareSmi(uint8_t value) {
  io_->Write(kApmControlPort, 1, value);
}

void OsCommandBuffer::SendButtonRequest(uint32_t command,
                                        const std::vector<std::u16string> &strings,
                                        uint32_t argument, uint32_t word12, uint32_t word16) {
  const uint32_t status = Read32(kCbStatus);
  Clear();
  Write32(kCbStatus, status);
  Write32(kCbValue, command);
  Write32(kCbArgument, argument);
  Write32(kCbSettings, word12);
  Write32(kCbDefaultSettings, word16);
  WriteStrings(strings);
  RaiseSoftwareSmi(kCbSmiCommand);
}

} // namespace sim
