#include "tests/firmware/app/OsHandOver.h"

#include "tests/firmware/app/LoadDriver.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

namespace {

constexpr const CHAR16 *kKernelPath = u"\\linux\\vmlinuz";
// Lean on purpose: QEMU runs without KVM, so every driver the kernel probes
// costs time. The kernel's EFI stub loads the initrd from this volume.
constexpr CHAR16 kCommandLine[] = u"initrd=\\linux\\initrd.img console=ttyS0 quiet panic=-1 "
                                  u"rdinit=/init";

} // namespace

VOID StartOperatingSystem() {
  EFI_HANDLE kernel = nullptr;
  EFI_STATUS status = LoadSiblingImage(kKernelPath, &kernel);
  if (status == EFI_NOT_FOUND)
    return;
  if (EFI_ERROR(status)) {
    Print(u"os: LoadImage of %s failed (%r)", kKernelPath, status);
    return;
  }
  EFI_LOADED_IMAGE_PROTOCOL *image = nullptr;
  status = gFw.Bs->HandleProtocol(kernel, &gEfiLoadedImageProtocolGuid,
                                  reinterpret_cast<VOID **>(&image));
  if (EFI_ERROR(status)) {
    Print(u"os: the kernel image has no loaded-image protocol (%r)", status);
    return;
  }
  image->LoadOptions = const_cast<CHAR16 *>(kCommandLine);
  image->LoadOptionsSize = static_cast<UINT32>(sizeof(kCommandLine));
  Print(u"os: starting %s with \"%s\"", kKernelPath, kCommandLine);
  status = gFw.Bs->StartImage(kernel, nullptr, nullptr);
  Print(u"os: the kernel returned (%r)", status);
}

} // namespace FirmwareTest
