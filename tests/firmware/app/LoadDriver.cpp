#include "tests/firmware/app/LoadDriver.h"

#include "support/Strings.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

namespace {

UINTN NodeLength(const EFI_DEVICE_PATH_PROTOCOL *Node) {
  return Node->Length[0] | (UINTN(Node->Length[1]) << 8);
}

BOOLEAN IsEnd(const EFI_DEVICE_PATH_PROTOCOL *Node) {
  return Node->Type == END_DEVICE_PATH_TYPE && Node->SubType == END_ENTIRE_DEVICE_PATH_SUBTYPE;
}

} // namespace

EFI_STATUS LoadSiblingImage(const CHAR16 *FileName, EFI_HANDLE *Handle) {
  *Handle = nullptr;
  EFI_LOADED_IMAGE_PROTOCOL *self = nullptr;
  EFI_STATUS status = gFw.Bs->HandleProtocol(gFw.Image, &gEfiLoadedImageProtocolGuid,
                                             reinterpret_cast<VOID **>(&self));
  if (EFI_ERROR(status))
    return status;
  EFI_DEVICE_PATH_PROTOCOL *device = nullptr;
  status = gFw.Bs->HandleProtocol(self->DeviceHandle, &gEfiDevicePathProtocolGuid,
                                  reinterpret_cast<VOID **>(&device));
  if (EFI_ERROR(status))
    return status;

  // The volume's device path, a file-path node naming the driver, the end node.
  UINT8 path[512];
  UINTN length = 0;
  for (auto *node = device; !IsEnd(node); node = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(
                                              reinterpret_cast<UINT8 *>(node) + NodeLength(node))) {
    length += NodeLength(node);
  }
  UINTN nameBytes = (WideLength(FileName) + 1) * sizeof(CHAR16);
  if (length + 4 + nameBytes + 4 > sizeof(path))
    return EFI_BUFFER_TOO_SMALL;
  CopyBytes(path, device, length);
  UINT8 *file = path + length;
  file[0] = MEDIA_DEVICE_PATH;
  file[1] = MEDIA_FILEPATH_DP;
  file[2] = static_cast<UINT8>(4 + nameBytes);
  file[3] = static_cast<UINT8>((4 + nameBytes) >> 8);
  CopyBytes(file + 4, FileName, nameBytes);
  UINT8 *end = file + 4 + nameBytes;
  end[0] = END_DEVICE_PATH_TYPE;
  end[1] = END_ENTIRE_DEVICE_PATH_SUBTYPE;
  end[2] = 4;
  end[3] = 0;

  return gFw.Bs->LoadImage(FALSE, gFw.Image, reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(path),
                           nullptr, 0, Handle);
}

EFI_STATUS LoadSiblingDriver(const CHAR16 *FileName, EFI_HANDLE *Handle, EFI_STATUS *LoadStatus) {
  EFI_STATUS status = LoadSiblingImage(FileName, Handle);
  *LoadStatus = status;
  if (EFI_ERROR(status))
    return status;
  return gFw.Bs->StartImage(*Handle, nullptr, nullptr);
}

} // namespace FirmwareTest
