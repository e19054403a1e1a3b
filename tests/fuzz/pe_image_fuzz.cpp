// The SMRAM loader over arbitrary image bytes: the check may accept only
// images whose every part the load then stays inside, and a load of an
// accepted image never writes outside its SizeOfImage bytes.
#include "FuzzCheck.h"
#include "smm_compat/core/PeLoader.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // A copy of exactly `size` bytes, so ASan sees any read past the end.
  std::vector<uint8_t> file(data, data + size);
  SmmCompat::PeImageInfo info{};
  if (SmmCompat::PeImageCheck(file.data(), file.size(), &info) != EFI_SUCCESS)
    return 0;
  CHECK(info.SizeOfImage != 0 && info.SizeOfImage <= SmmCompat::kMaxImageSize);
  CHECK(info.EntryPoint < info.SizeOfImage);
  CHECK(info.SizeOfHeaders <= file.size());
  // Exactly SizeOfImage bytes: ASan reports any write past the loaded image.
  std::vector<uint8_t> memory(info.SizeOfImage);
  (void)SmmCompat::PeImageLoad(file.data(), file.size(), info, memory.data(), 0x7F000000);
  return 0;
}
