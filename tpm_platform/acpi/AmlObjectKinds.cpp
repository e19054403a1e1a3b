#include "tpm_platform/acpi/AmlObject.h"

namespace TpmPlatform {

namespace {

constexpr UINT8 kExtOpPrefix = 0x5B;

constexpr AmlObjectKind kAmlObjectKinds[] = {
    {AML_KIND_SCOPE, {0x10, 0x00}, 1, 0, FALSE},
    {AML_KIND_NAME, {0x08, 0x00}, 1, 0, TRUE},
    {AML_KIND_PROCESSOR, {kExtOpPrefix, 0x83}, 2, 6, FALSE},
    {AML_KIND_THERMAL_ZONE, {kExtOpPrefix, 0x85}, 2, 0, FALSE},
    {AML_KIND_DEVICE, {kExtOpPrefix, 0x82}, 2, 0, FALSE},
    {AML_KIND_METHOD, {0x14, 0x00}, 1, 1, FALSE},
    {AML_KIND_POWER_RESOURCE, {kExtOpPrefix, 0x84}, 2, 3, FALSE},
    {AML_KIND_OPERATION_REGION, {kExtOpPrefix, 0x80}, 2, 0, TRUE},
};

} // namespace

const AmlObjectKind *AmlLookupKind(UINT32 Kind) {
  for (const AmlObjectKind &entry : kAmlObjectKinds)
    if (entry.Kind == Kind)
      return &entry;
  return nullptr;
}

} // namespace TpmPlatform
