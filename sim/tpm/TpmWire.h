// TPM 1.2 wire format helpers for the board side: big-endian fields, request
// framing and the parts of responses the board reads.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace sim::tpm {

using Bytes = std::vector<uint8_t>;
using Digest = std::array<uint8_t, 20>;

constexpr uint16_t TPM_TAG_RQU_COMMAND = 0x00C1;
constexpr uint16_t TPM_TAG_RQU_AUTH1_COMMAND = 0x00C2;
constexpr uint16_t TPM_TAG_RSP_COMMAND = 0x00C4;
constexpr size_t kHeaderSize = 10;

constexpr uint32_t TPM_ORD_OIAP = 0x0A;
constexpr uint32_t TPM_ORD_TakeOwnership = 0x0D;
constexpr uint32_t TPM_ORD_Extend = 0x14;
constexpr uint32_t TPM_ORD_PcrRead = 0x15;
constexpr uint32_t TPM_ORD_ContinueSelfTest = 0x53;
constexpr uint32_t TPM_ORD_ForceClear = 0x5D;
constexpr uint32_t TPM_ORD_GetCapability = 0x65;
constexpr uint32_t TPM_ORD_PhysicalEnable = 0x6F;
constexpr uint32_t TPM_ORD_PhysicalDisable = 0x70;
constexpr uint32_t TPM_ORD_SetOwnerInstall = 0x71;
constexpr uint32_t TPM_ORD_PhysicalSetDeactivated = 0x72;
constexpr uint32_t TPM_ORD_CreateEndorsementKeyPair = 0x78;
constexpr uint32_t TPM_ORD_ReadPubek = 0x7C;
constexpr uint32_t TPM_ORD_Startup = 0x99;
constexpr uint32_t TSC_ORD_PhysicalPresence = 0x4000000A;

constexpr uint16_t TPM_ST_CLEAR = 1;
constexpr uint16_t TPM_ST_STATE = 2;

constexpr uint16_t TPM_PHYSICAL_PRESENCE_LOCK = 0x0004;
constexpr uint16_t TPM_PHYSICAL_PRESENCE_PRESENT = 0x0008;
constexpr uint16_t TPM_PHYSICAL_PRESENCE_NOTPRESENT = 0x0010;
constexpr uint16_t TPM_PHYSICAL_PRESENCE_CMD_ENABLE = 0x0020;

constexpr uint32_t TPM_SUCCESS = 0;
constexpr uint32_t TPM_BAD_ORDINAL = 0x0A;
constexpr uint32_t TPM_INVALID_POSTINIT = 0x26;

class Writer {
public:
  Writer &U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Writer &U16(uint16_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
  Writer &U32(uint32_t v) { return U16(uint16_t(v >> 16)).U16(uint16_t(v)); }
  Writer &Raw(std::span<const uint8_t> b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  const Bytes &Get() const { return bytes_; }
  Bytes Take() { return std::move(bytes_); }

private:
  Bytes bytes_;
};

inline uint16_t GetU16(std::span<const uint8_t> b, size_t at) {
  return b.size() >= at + 2 ? uint16_t(b[at] << 8 | b[at + 1]) : 0;
}
inline uint32_t GetU32(std::span<const uint8_t> b, size_t at) {
  return b.size() >= at + 4 ? uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 |
                                  uint32_t(b[at + 2]) << 8 | b[at + 3]
                            : 0;
}

// tag | paramSize | ordinal | parameters
Bytes FrameCommand(uint32_t ordinal, std::span<const uint8_t> parameters = {},
                   uint16_t tag = TPM_TAG_RQU_COMMAND);
// The returnCode of a response; 0xFFFFFFFF when the response is too short.
uint32_t ResponseCode(std::span<const uint8_t> response);
uint32_t RequestOrdinal(std::span<const uint8_t> request);

} // namespace sim::tpm
