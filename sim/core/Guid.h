// GUID text form, ordering and the names the reports print for known GUIDs.
#pragma once
#include "Uefi/UefiBaseType.h"

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// "8BE4DF61-93CA-11D2-AA0D-00E098032B8C"
std::string GuidToString(const EFI_GUID &guid);
std::optional<EFI_GUID> ParseGuid(std::string_view text);

// Byte-wise order, for maps keyed by GUID.
struct GuidLess {
  bool operator()(const EFI_GUID &a, const EFI_GUID &b) const;
};

// The readable name of a GUID ("gEfiTcgProtocolGuid") or its text form.
std::string GuidName(const EFI_GUID &guid);
// Components name their own GUIDs for the reports.
void RegisterGuidName(const EFI_GUID &guid, std::string name);

} // namespace sim
