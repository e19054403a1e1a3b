#include "sim/report/EventDescription.h"
#include "sim/core/Guid.h"

#include "sim/core/Text.h"

#include "Guid/ImageAuthentication.h"
#include "IndustryStandard/SmBios.h"
#include "Platform/PlatformTableProtocol.h"
#include "Tcg/TcgEventData.h"
#include "Uefi/UefiSpec.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sim::report {
namespace {

uint64_t Le(std::span<const uint8_t> b, size_t at, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i-- > 0;)
    v = v << 8 | b[at + i];
  return v;
}

std::string GuidText(const uint8_t *p) {
  EFI_GUID g;
  std::memcpy(&g, p, sizeof(g));
  return GuidToString(g);
}

std::string GuidName(const uint8_t *p) {
  EFI_GUID g;
  std::memcpy(&g, p, sizeof(g));
  if (g == gEfiGlobalVariableGuid)
    return "EFI_GLOBAL_VARIABLE";
  if (g == gEfiImageSecurityDatabaseGuid)
    return "EFI_IMAGE_SECURITY_DATABASE";
  if (g == gEfiSmbiosTableGuid)
    return "SMBIOS_TABLE";
  if (g == gPlatformTableGuid)
    return "PlatformTable";
  return GuidText(p);
}

std::string Printable(std::span<const uint8_t> bytes) {
  std::string out;
  for (uint8_t c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += Printf("\\x%02X", c);
    }
  }
  return out;
}

std::string Narrow(std::span<const uint8_t> utf16) {
  std::string out;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    uint16_t c = static_cast<uint16_t>(utf16[i] | utf16[i + 1] << 8);
    if (c == 0)
      break;
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
}

std::string DescribeLoadOption(std::span<const uint8_t> d) {
  if (d.size() < 6)
    return "malformed load option";
  const uint32_t attributes = static_cast<uint32_t>(Le(d, 0, 4));
  const uint16_t pathLength = static_cast<uint16_t>(Le(d, 4, 2));
  std::string description = Narrow(d.subspan(6));
  const size_t pathAt = 6 + 2 * (description.size() + 1);
  std::string path;
  if (pathAt + 4 <= d.size() && pathAt + pathLength <= d.size() && d[pathAt] == 4 &&
      d[pathAt + 1] == 4) {
    const size_t nodeLength = static_cast<size_t>(Le(d, pathAt + 2, 2));
    if (nodeLength >= 4 && pathAt + nodeLength <= d.size())
      path = Narrow(d.subspan(pathAt + 4, nodeLength - 4));
  }
  std::string out = "\"" + description + "\"";
  if (!path.empty())
    out += " " + path;
  out += (attributes & 1) ? " (active)" : " (inactive)";
  return out;
}

std::string DescribeSignatureLists(std::span<const uint8_t> d) {
  size_t at = 0;
  unsigned lists = 0, x509 = 0, other = 0;
  while (at + sizeof(EFI_SIGNATURE_LIST) <= d.size()) {
    const uint32_t listSize = static_cast<uint32_t>(Le(d, at + 16, 4));
    const uint32_t headerSize = static_cast<uint32_t>(Le(d, at + 20, 4));
    const uint32_t sigSize = static_cast<uint32_t>(Le(d, at + 24, 4));
    if (listSize < sizeof(EFI_SIGNATURE_LIST) + headerSize || listSize > d.size() - at ||
        sigSize == 0)
      return "malformed signature list";
    EFI_GUID type;
    std::memcpy(&type, &d[at], sizeof(type));
    const unsigned count = (listSize - sizeof(EFI_SIGNATURE_LIST) - headerSize) / sigSize;
    (type == gEfiCertX509Guid ? x509 : other) += count;
    ++lists;
    at += listSize;
  }
  return std::to_string(lists) + " signature list(s): " + std::to_string(x509) +
         " X.509 certificate(s)" + (other ? ", " + std::to_string(other) + " other" : "");
}

std::string DescribeVariable(std::span<const uint8_t> d) {
  if (d.size() < 32)
    return "malformed variable data";
  const uint64_t nameLength = Le(d, 16, 8);
  const uint64_t dataLength = Le(d, 24, 8);
  if (nameLength > (d.size() - 32) / 2 || dataLength != d.size() - 32 - 2 * nameLength)
    return "malformed variable data";
  const std::string name = Narrow(d.subspan(32, 2 * nameLength));
  auto value = d.subspan(32 + 2 * nameLength);
  std::string out = GuidName(d.data()) + ":" + name + ", " + std::to_string(dataLength) + " bytes";
  if (name == "BootOrder") {
    out += ":";
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
      out += Printf(" %04X", static_cast<unsigned>(Le(value, i, 2)));
    }
  } else if (name.size() == 8 && name.rfind("Boot", 0) == 0) {
    out += ": " + DescribeLoadOption(value);
  } else if (name == "SecureBoot" && value.size() == 1) {
    out += value[0] ? ": enabled" : ": disabled";
  } else if (name == "PK" || name == "KEK" || name == "db" || name == "dbx") {
    out += ": " + DescribeSignatureLists(value);
  }
  return out;
}

} // namespace

std::string Hex(std::span<const uint8_t> bytes) {
  return ToHex(bytes);
}

std::string EventTypeName(uint32_t type) {
  switch (type) {
  case EV_SEPARATOR:
    return "EV_SEPARATOR";
  case EV_EVENT_TAG:
    return "EV_EVENT_TAG";
  case EV_CPU_MICROCODE:
    return "EV_CPU_MICROCODE";
  case EV_EFI_VARIABLE_DRIVER_CONFIG:
    return "EV_EFI_VARIABLE_DRIVER_CONFIG";
  case EV_EFI_VARIABLE_BOOT:
    return "EV_EFI_VARIABLE_BOOT";
  case EV_EFI_ACTION:
    return "EV_EFI_ACTION";
  case EV_EFI_HANDOFF_TABLES:
    return "EV_EFI_HANDOFF_TABLES";
  default: {
    return Printf("EV_UNKNOWN_0x%08X", type);
  }
  }
}

std::string DescribeEvent(uint32_t type, std::span<const uint8_t> d) {
  switch (type) {
  case EV_SEPARATOR:
    return "separator " + Hex(d);
  case EV_EFI_ACTION:
    return "\"" + Printable(d) + "\"";
  case EV_CPU_MICROCODE:
    if (d.size() != 8)
      break;
    return Printf("microcode image at 0x%llX", static_cast<unsigned long long>(Le(d, 0, 8)));
  case EV_EVENT_TAG:
    if (d.size() != sizeof(TCG_OPTION_ROM_TAGGED_EVENT) || Le(d, 0, 4) != 7)
      break;
    {
      const unsigned pfa = static_cast<unsigned>(Le(d, 10, 2));
      return Printf("option ROM execute, PFA 0x%04X (bus %u, device %u, function %u), ROM SHA-1 ",
                    pfa, pfa >> 8, (pfa >> 3) & 0x1F, pfa & 7) +
             Hex(d.subspan(12, 20));
    }
  case EV_EFI_VARIABLE_DRIVER_CONFIG:
  case EV_EFI_VARIABLE_BOOT:
    return DescribeVariable(d);
  case EV_EFI_HANDOFF_TABLES:
    if (d.size() != sizeof(EFI_HANDOFF_TABLE_POINTERS_ONE) || Le(d, 0, 8) != 1)
      break;
    return Printf("1 table: %s at 0x%llX", GuidName(&d[8]).c_str(),
                  static_cast<unsigned long long>(Le(d, 24, 8)));
  default:
    break;
  }
  return std::to_string(d.size()) + " bytes: " + Hex(d.subspan(0, std::min<size_t>(d.size(), 32))) +
         (d.size() > 32 ? "..." : "");
}

} // namespace sim::report
