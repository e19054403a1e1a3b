#include "button_smm/DevicePath.h"
#include "button_smm/Globals.h"
#include "support/Strings.h"

namespace ButtonSmm {
namespace {

constexpr UINTN kEndNodeSize = 4;

UINT16 NodeLength(const UINT8 *Node) {
  return UINT16(Node[2] | (Node[3] << 8));
}

bool IsEndOfPath(const UINT8 *Node) {
  return (Node[0] == END_DEVICE_PATH_TYPE || Node[0] == 0xFF) &&
         Node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE;
}

VOID *AllocateBootData(UINTN Size) {
  VOID *Buffer = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Size, &Buffer)))
    return nullptr;
  return Buffer;
}

} // namespace

UINTN DevicePathSize(const EFI_DEVICE_PATH_PROTOCOL *Path) {
  if (Path == nullptr)
    return 0;
  const auto *Node = reinterpret_cast<const UINT8 *>(Path);
  UINTN Total = 0;
  for (;;) {
    UINT16 Length = NodeLength(Node);
    // A malformed node ends the walk without an end node.
    if (Node[0] == 0 || Length == 0)
      return Total;
    if (IsEndOfPath(Node))
      return Total + kEndNodeSize;
    Total += Length;
    Node += Length;
  }
}

EFI_DEVICE_PATH_PROTOCOL *DuplicateDevicePath(const EFI_DEVICE_PATH_PROTOCOL *Path) {
  if (Path == nullptr)
    return nullptr;
  UINTN Size = DevicePathSize(Path);
  VOID *Copy = AllocateBootData(Size);
  if (Copy != nullptr)
    CopyBytes(Copy, Path, Size);
  return static_cast<EFI_DEVICE_PATH_PROTOCOL *>(Copy);
}

EFI_DEVICE_PATH_PROTOCOL *AppendDevicePath(const EFI_DEVICE_PATH_PROTOCOL *First,
                                           const EFI_DEVICE_PATH_PROTOCOL *Second) {
  if (First == nullptr && Second == nullptr) {
    static constexpr EFI_DEVICE_PATH_PROTOCOL kEnd = {
        END_DEVICE_PATH_TYPE, END_ENTIRE_DEVICE_PATH_SUBTYPE, {kEndNodeSize, 0}};
    return DuplicateDevicePath(&kEnd);
  }
  if (First == nullptr)
    return DuplicateDevicePath(Second);
  if (Second == nullptr)
    return DuplicateDevicePath(First);

  UINTN FirstSize = DevicePathSize(First);
  UINTN SecondSize = DevicePathSize(Second);
  // A path without its end node (a malformed one) cannot be appended to.
  if (FirstSize < kEndNodeSize || SecondSize < kEndNodeSize)
    return nullptr;
  auto *Result = static_cast<UINT8 *>(AllocateBootData(FirstSize + SecondSize - kEndNodeSize));
  if (Result == nullptr)
    return nullptr;
  CopyBytes(Result, First, FirstSize - kEndNodeSize);
  CopyBytes(Result + FirstSize - kEndNodeSize, Second, SecondSize);
  return reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Result);
}

} // namespace ButtonSmm
