// AmlFindObject and PatchDsdtNameValue over arbitrary table bytes.
//
// Input: kind selector, name length (0 to 5, over "QESDX"), value selector,
// then the AML body. The body is scanned on its own (exact-size buffer, so
// any read outside the range trips ASan) and patched as the body of a DSDT
// whose Length covers it: a patch may change at most the constant's bytes.
#include "Acpi/AcpiHeader.h"
#include "tpm_platform/acpi/AmlObject.h"
#include "tpm_platform/acpi/DsdtPatch.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace TpmPlatform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  if (Size < 3)
    return 0;
  const UINT32 kind = Data[0] % 12;
  char name[6] = {};
  std::memcpy(name, "QESDX", Data[1] % 6);
  const UINT64 values[] = {0, 1, 2, 0xFF, 0x1234, 0xFFFFFFFFFFFFFFFF};
  const UINT64 value = values[Data[2] % 6];
  const std::vector<UINT8> body(Data + 3, Data + Size);

  std::vector<UINT8> scan(body);
  AmlObjectInfo info{};
  if (AmlFindObject(scan.data(), scan.size(), name, kind, &info) == EFI_SUCCESS) {
    const UINT8 *begin = scan.data(), *end = begin + scan.size();
    if (info.ObjectStart < begin || info.NameStart <= info.ObjectStart ||
        info.DataStart <= info.NameStart || info.DataStart > end || info.Kind != kind)
      __builtin_trap();
  }

  std::vector<UINT8> table(sizeof(EFI_ACPI_DESCRIPTION_HEADER) + body.size());
  const UINT32 length = UINT32(table.size());
  std::memcpy(table.data() + 4, &length, 4);
  if (!body.empty())
    std::memcpy(table.data() + sizeof(EFI_ACPI_DESCRIPTION_HEADER), body.data(), body.size());
  const std::vector<UINT8> original(table);
  const EFI_STATUS status = PatchDsdtNameValue(table.data(), name, value);
  std::size_t first = table.size(), last = 0;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i] != original[i]) {
      first = i < first ? i : first;
      last = i;
    }
  if (first == table.size())
    return 0;
  // Only a successful patch writes, and only inside one constant: an opcode
  // byte (Zero/One) or up to eight value bytes.
  if (status != EFI_SUCCESS || first < sizeof(EFI_ACPI_DESCRIPTION_HEADER) + 5 || last - first >= 8)
    __builtin_trap();
  return 0;
}
