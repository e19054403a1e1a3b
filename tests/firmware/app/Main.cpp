// Entry of the firmware test application. OVMF boots it directly; it runs the
// stories in order, prints the tally, starts the operating system when the
// volume carries one, and otherwise powers the machine off.
#include "tests/firmware/app/OsHandOver.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TestLog.h"

using namespace FirmwareTest;

extern "C" EFI_STATUS EFIAPI FirmwareTestEntry(EFI_HANDLE ImageHandle,
                                               EFI_SYSTEM_TABLE *SystemTable) {
  gFw.Image = ImageHandle;
  gFw.St = SystemTable;
  gFw.Bs = SystemTable->BootServices;
  gFw.Rt = SystemTable->RuntimeServices;
  Print(u"start");
  for (const Story &story : kStories) {
    Print(u"story %s", story.Name);
    story.Run();
  }
  Print(u"%d passed, %d failed", PassedCount(), FailedCount());
  StartOperatingSystem();
  gFw.Rt->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;
}
