#include "sim/smm/SmramLoader.h"

#include "sim/board/Board.h"
#include "sim/core/HandleDatabase.h"
#include "sim/smm/SmmCore.h"

#include <cstring>
#include <optional>
#include <vector>

namespace sim {

namespace {
std::vector<uint8_t> PathBytes(const EFI_DEVICE_PATH_PROTOCOL *path, bool withEnd) {
  std::vector<uint8_t> bytes;
  auto *node = reinterpret_cast<const uint8_t *>(path);
  for (int guard = 0; node != nullptr && guard < 64; ++guard) {
    uint16_t length = uint16_t(node[2] | node[3] << 8);
    bool end = node[0] == END_DEVICE_PATH_TYPE && node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE;
    if (length < 4 || (end && !withEnd))
      break;
    bytes.insert(bytes.end(), node, node + length);
    if (end)
      break;
    node += length;
  }
  return bytes;
}
} // namespace

EFI_STATUS LoadIntoSmram(Board &board, SmmCore &core, const EFI_DEVICE_PATH_PROTOCOL *path,
                         EFI_HANDLE *smmImage) {
  std::vector<uint8_t> requested = PathBytes(path, true);
  // Only an image's own file can be loaded: its device's path, then its file path.
  std::optional<DriverImage> found;
  for (const LoadedImage &image : board.Images()) {
    auto *loaded = static_cast<EFI_LOADED_IMAGE_PROTOCOL *>(
        board.Handles().Find(image.Handle, gEfiLoadedImageProtocolGuid));
    if (loaded == nullptr)
      continue;
    auto *device = static_cast<EFI_DEVICE_PATH_PROTOCOL *>(
        board.Handles().Find(loaded->DeviceHandle, gEfiDevicePathProtocolGuid));
    std::vector<uint8_t> expected = PathBytes(device, false);
    std::vector<uint8_t> file = PathBytes(loaded->FilePath, true);
    expected.insert(expected.end(), file.begin(), file.end());
    if (expected != requested)
      continue;
    EFI_GUID fileGuid{};
    auto *node = reinterpret_cast<const uint8_t *>(loaded->FilePath);
    if (node != nullptr && node[0] == MEDIA_DEVICE_PATH && node[1] == 0x06)
      std::memcpy(&fileGuid, node + 4, sizeof fileGuid);
    found = DriverImage{image.Name + " (SMRAM)", image.Entry, fileGuid};
    break;
  }
  if (!found)
    return EFI_NOT_FOUND;
  LoadedImage started{};
  core.RunInSmm("smm-load:" + found->Name, [&] { started = board.StartImage(*found); });
  *smmImage = started.Handle;
  return started.Status;
}

} // namespace sim
