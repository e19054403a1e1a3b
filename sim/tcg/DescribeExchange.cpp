// Readable lines for the TPM requests a boot sent through PassThroughToTpm.
#include "sim/core/Text.h"
#include "sim/tcg/TcgProtocol.h"

#include <cstdio>

namespace sim::tcg {

namespace {

std::string Flags(std::span<const uint8_t> data, std::initializer_list<const char *> names) {
  std::string text;
  size_t i = 0;
  for (const char *name : names) {
    if (i >= data.size())
      break;
    text += std::string(", ") + name + " " + std::to_string(data[i++]);
  }
  return text;
}

} // namespace

std::string DescribeExchange(const TcgProtocol::Exchange &exchange) {
  const Bytes &rq = exchange.Request;
  const Bytes &rs = exchange.Response;
  uint32_t ordinal = tpm::RequestOrdinal(rq);
  if (EFI_ERROR(exchange.Status) && rs.empty())
    return "ordinal " + HexNumber(ordinal) + ": failed before the TPM (status " +
           HexNumber(uint32_t(exchange.Status & 0xFF)) + ")";
  std::string rc = "rc " + HexNumber(tpm::ResponseCode(rs));
  // Capability data: response byte 14 on, after the 4-byte size (and a 2-byte tag for flags).
  auto capability = [&](size_t skip) {
    return rs.size() > 14 + skip ? std::span(rs).subspan(14 + skip) : std::span<const uint8_t>();
  };
  if (ordinal == tpm::TPM_ORD_GetCapability && rq.size() >= 22) {
    uint32_t area = tpm::GetU32(rq, 10), sub = tpm::GetU32(rq, 18);
    if (area == 4 && sub == 0x108)
      return "GetCapability permanent flags: " + rc +
             Flags(capability(2), {"disable", "ownership", "deactivated"});
    if (area == 4 && sub == 0x109)
      return "GetCapability volatile flags: " + rc +
             Flags(capability(2), {"deactivated", "disableForceClear", "physicalPresence",
                                   "physicalPresenceLock", "bGlobalLock"});
    if (area == 5 && sub == 0x111)
      return "GetCapability owner: " + rc + Flags(capability(0), {"owned"});
    return "GetCapability " + HexNumber(area) + "/" + HexNumber(sub) + ": " + rc;
  }
  if (ordinal == kVendorStateOrdinal)
    return "vendor state: " + rc +
           (tpm::ResponseCode(rs) == 0 && rs.size() >= 14
                ? Flags(std::span(rs).subspan(10),
                        {"disable", "deactivated", "owner install", "owned"})
                : std::string());
  if (ordinal == tpm::TSC_ORD_PhysicalPresence && rq.size() >= 12)
    return "TSC_PhysicalPresence " + HexNumber(tpm::GetU16(rq, 10)) + ": " + rc;
  if (ordinal == tpm::TPM_ORD_ContinueSelfTest)
    return "ContinueSelfTest: " + rc;
  return "ordinal " + HexNumber(ordinal) + ": " + rc;
}

} // namespace sim::tcg
