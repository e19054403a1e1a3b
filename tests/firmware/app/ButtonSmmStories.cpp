// ButtonSmm's boot-service instance on real firmware: OVMF has no Framework SMM
// core, so the application installs a stand-in SMM base protocol that answers
// "not in SMM" and records what Register is handed.
#include "Framework/SmmBase.h"
#include "support/Strings.h"
#include "tests/firmware/app/LoadDriver.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

namespace {

struct RegisterCall {
  UINT32 Count;
  UINT8 Path[512];
  UINTN PathSize;
  BOOLEAN PathTooLong;
  VOID *SourceBuffer;
  UINTN SourceSize;
  BOOLEAN Legacy;
};
constinit RegisterCall gRegister = {};

UINTN PathSize(const UINT8 *Path, UINTN Limit) {
  UINTN size = 0;
  while (size + 4 <= Limit) {
    UINTN length = Path[size + 2] | (UINTN(Path[size + 3]) << 8);
    if (Path[size] == END_DEVICE_PATH_TYPE && Path[size + 1] == END_ENTIRE_DEVICE_PATH_SUBTYPE)
      return size + 4;
    if (length < 4)
      return 0;
    size += length;
  }
  return 0;
}

EFI_STATUS EFIAPI StandInRegister(EFI_SMM_BASE_PROTOCOL *, EFI_DEVICE_PATH_PROTOCOL *FilePath,
                                  VOID *SourceBuffer, UINTN SourceSize, EFI_HANDLE *ImageHandle,
                                  BOOLEAN LegacyIA32Binary) {
  ++gRegister.Count;
  gRegister.SourceBuffer = SourceBuffer;
  gRegister.SourceSize = SourceSize;
  gRegister.Legacy = LegacyIA32Binary;
  gRegister.PathSize = 0;
  gRegister.PathTooLong = FALSE;
  if (FilePath != nullptr) {
    // Copy node by node: the path must not be read past its end node.
    const auto *path = reinterpret_cast<const UINT8 *>(FilePath);
    UINTN size = 0;
    for (;;) {
      UINTN length = path[size + 2] | (UINTN(path[size + 3]) << 8);
      if (length < 4 || size + length > sizeof(gRegister.Path)) {
        gRegister.PathTooLong = TRUE;
        break;
      }
      CopyBytes(gRegister.Path + size, path + size, length);
      size += length;
      if (path[size - length] == END_DEVICE_PATH_TYPE &&
          path[size - length + 1] == END_ENTIRE_DEVICE_PATH_SUBTYPE)
        break;
    }
    gRegister.PathSize = size;
  }
  if (ImageHandle != nullptr)
    *ImageHandle = gFw.Image;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI StandInInSmm(EFI_SMM_BASE_PROTOCOL *, BOOLEAN *InSmm) {
  *InSmm = FALSE;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI StandInUnsupported() {
  return EFI_UNSUPPORTED;
}

template <typename F> F Unsupported() {
  return reinterpret_cast<F>(&StandInUnsupported);
}

constinit EFI_SMM_BASE_PROTOCOL gSmmBase = {};

} // namespace

VOID ButtonSmmBootServiceStory() {
  gSmmBase.Register = StandInRegister;
  gSmmBase.UnRegister = Unsupported<EFI_SMM_UNREGISTER_HANDLER>();
  gSmmBase.Communicate = Unsupported<EFI_SMM_COMMUNICATE>();
  gSmmBase.RegisterCallback = Unsupported<EFI_SMM_CALLBACK_SERVICE>();
  gSmmBase.InSmm = StandInInSmm;
  gSmmBase.SmmAllocatePool = Unsupported<EFI_SMM_ALLOCATE_POOL>();
  gSmmBase.SmmFreePool = Unsupported<EFI_SMM_FREE_POOL>();
  gSmmBase.GetSmstLocation = Unsupported<EFI_SMM_GET_SMST_LOCATION>();
  EFI_HANDLE smmBaseHandle = nullptr;
  EFI_STATUS status = gFw.Bs->InstallProtocolInterface(&smmBaseHandle, &gEfiSmmBaseProtocolGuid,
                                                       EFI_NATIVE_INTERFACE, &gSmmBase);
  if (!Check(!EFI_ERROR(status), u"stand-in SMM base protocol installed (%r)", status))
    return;

  EFI_HANDLE driver = nullptr;
  EFI_STATUS loadStatus = EFI_SUCCESS;
  status = LoadSiblingDriver(u"\\ButtonSmm.efi", &driver, &loadStatus);
  Check(!EFI_ERROR(loadStatus), u"ButtonSmm.efi loads (%r)", loadStatus);
  Check(status == EFI_SUCCESS, u"ButtonSmm entry returns Register's status (%r)", status);
  Check(gRegister.Count == 1, u"Register called once (%d)", gRegister.Count);
  Check(gRegister.SourceBuffer == nullptr && gRegister.SourceSize == 0 && !gRegister.Legacy,
        u"Register gets no source buffer, size 0, LegacyIA32Binary FALSE");

  // Expected: the volume's device path, the file-path node of the driver's own
  // file, one end node.
  EFI_LOADED_IMAGE_PROTOCOL *self = nullptr;
  EFI_DEVICE_PATH_PROTOCOL *volume = nullptr;
  gFw.Bs->HandleProtocol(gFw.Image, &gEfiLoadedImageProtocolGuid, reinterpret_cast<VOID **>(&self));
  gFw.Bs->HandleProtocol(self->DeviceHandle, &gEfiDevicePathProtocolGuid,
                         reinterpret_cast<VOID **>(&volume));
  const auto *volumeBytes = reinterpret_cast<const UINT8 *>(volume);
  UINTN volumeSize = PathSize(volumeBytes, 512) - 4;
  const CHAR16 kName[] = u"\\ButtonSmm.efi";
  UINT8 expected[512];
  CopyBytes(expected, volumeBytes, volumeSize);
  UINT8 *file = expected + volumeSize;
  file[0] = MEDIA_DEVICE_PATH;
  file[1] = MEDIA_FILEPATH_DP;
  file[2] = static_cast<UINT8>(4 + sizeof(kName));
  file[3] = 0;
  CopyBytes(file + 4, kName, sizeof(kName));
  UINT8 *end = file + 4 + sizeof(kName);
  end[0] = END_DEVICE_PATH_TYPE;
  end[1] = END_ENTIRE_DEVICE_PATH_SUBTYPE;
  end[2] = 4;
  end[3] = 0;
  UINTN expectedSize = volumeSize + 4 + sizeof(kName) + 4;
  Check(!gRegister.PathTooLong && gRegister.PathSize == expectedSize &&
            CompareBytes(gRegister.Path, expected, expectedSize) == 0,
        u"Register's path is the volume path + \\ButtonSmm.efi + end (%d bytes, expected %d)",
        gRegister.PathSize, expectedSize);
}

} // namespace FirmwareTest
