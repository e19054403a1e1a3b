// The operating system's side of the SMM command buffer: the buffer lives in
// OS memory, its address is published by CommandBufferProtocol, and the OS
// raises a software SMI by writing the SMI value to the APM control port 0xB2.
//
//   OsCommandBuffer os = smm.Os();
//   os.Clear();
//   os.Write32(kCbValue, kCbCommandGetButtonInfo);
//   os.WriteStrings({u"VolumeUpButton"});   // from kCbStrings
//   os.RaiseSoftwareSmi(kCbSmiCommand);
//   uint32_t result = os.Read32(kCbValue);
#pragma once
#include "Platform/SmmCommandBuffer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

class IoSpace;

class OsCommandBuffer {
public:
  static constexpr uint16_t kApmControlPort = kCbApmControlPort;
  static constexpr size_t kStringOffset = kCbStrings;

  OsCommandBuffer(std::span<uint8_t> bytes, uint64_t address, IoSpace &io)
      : bytes_(bytes), address_(address), io_(&io) {}

  uint64_t Address() const { return address_; }
  std::span<uint8_t> Bytes() const { return bytes_; }
  void Clear();
  uint32_t Read32(size_t offset) const;
  void Write32(size_t offset, uint32_t value);
  // Writes the strings one after the other from `offset`, each with its NUL.
  void WriteStrings(const std::vector<std::u16string> &strings, size_t offset = kStringOffset);
  // Reads `count` NUL-ended strings from `offset`.
  std::vector<std::u16string> ReadStrings(size_t count, size_t offset = kStringOffset) const;
  // The raw UTF-16 units from `offset`.
  std::u16string Units(size_t offset, size_t count) const;
  // Writes the value to port 0xB2: the chipset raises the software SMI.
  void RaiseSoftwareSmi(uint8_t value);
  // An 0xE3 request as the OS sends it: the buffer cleared but for the status
  // word (the OS keeps its own bits there), command and the three argument words at 4 to 16, the
  // strings, then the SMI.
  void SendButtonRequest(uint32_t command, const std::vector<std::u16string> &strings,
                         uint32_t argument, uint32_t word12, uint32_t word16);

private:
  std::span<uint8_t> bytes_;
  uint64_t address_;
  IoSpace *io_;
};

} // namespace sim
