#include "sim/tpm/TpmWire.h"

namespace sim::tpm {

Bytes FrameCommand(uint32_t ordinal, std::span<const uint8_t> parameters, uint16_t tag) {
  return Writer()
      .U16(tag)
      .U32(uint32_t(kHeaderSize + parameters.size()))
      .U32(ordinal)
      .Raw(parameters)
      .Take();
}

uint32_t ResponseCode(std::span<const uint8_t> response) {
  return response.size() >= kHeaderSize ? GetU32(response, 6) : 0xFFFFFFFF;
}

uint32_t RequestOrdinal(std::span<const uint8_t> request) {
  return request.size() >= kHeaderSize ? GetU32(request, 6) : 0;
}

} // namespace sim::tpm
