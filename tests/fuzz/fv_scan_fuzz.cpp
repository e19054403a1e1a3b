// The flash scan of the microcode hook and the board's volume parser over
// arbitrary volume bytes: neither may read outside the volume or loop, and a
// file the scan returns lies wholly inside it.
#include "common/TestBoard.h"
#include "sim/fv/FirmwareVolume.h"
#include "support/Hw.h"
#include "tpm_platform/measure/Measure.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Physical addresses need a powered board; host buffers are identity-mapped.
  static testboard::TestBoard board;
  if (!board->Booted())
    board->PowerOn();
  // A copy of exactly `size` bytes, so ASan sees any read past the end.
  std::vector<uint8_t> volume(data, data + size);
  const EFI_PHYSICAL_ADDRESS base = PointerToPhysical(volume.data());
  EFI_PHYSICAL_ADDRESS file = 0;
  UINT64 fileSize = 0;
  EFI_STATUS status = TpmPlatform::FindFlashFile(
      base, volume.size(), &TpmPlatform::gMicrocodeFileGuid, &file, &fileSize);
  if (!EFI_ERROR(status)) {
    if (file < base + 24 || file - base > volume.size() || fileSize > volume.size() - (file - base))
      std::abort();
    volatile uint8_t sink = 0;
    for (UINT64 i = 0; i < fileSize; ++i)
      sink = sink + static_cast<const uint8_t *>(PhysicalToPointer(file))[i];
  }
  (void)sim::fv::ParseVolume(volume);
  return 0;
}
