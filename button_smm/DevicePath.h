// Device-path helpers for building the image's own full path.
#pragma once
#include "Uefi/DevicePath.h"

namespace ButtonSmm {

// Byte size including the end node; 0 for a null path.
UINTN DevicePathSize(const EFI_DEVICE_PATH_PROTOCOL *Path);
// Pool copy (boot-services data), or null for a null path or no memory.
EFI_DEVICE_PATH_PROTOCOL *DuplicateDevicePath(const EFI_DEVICE_PATH_PROTOCOL *Path);
// New pool path: First without its end node, then Second with its end node.
EFI_DEVICE_PATH_PROTOCOL *AppendDevicePath(const EFI_DEVICE_PATH_PROTOCOL *First,
                                           const EFI_DEVICE_PATH_PROTOCOL *Second);

} // namespace ButtonSmm
