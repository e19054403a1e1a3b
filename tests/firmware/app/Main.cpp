// Entry of the firmware test application. OVMF boots it directly; it runs the
// stories in order, prints the tally, starts the operating system when the
// volume carries one, and otherwise powers the machine off.
#include "tests/firmware/app/OsHandOver.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TestLog.h"

using namespace FirmwareTest;

const CHAR16 FirmwareApp::kLogTag[] = u"[fw-test] ";

extern "C" EFI_STATUS EFIAPI FirmwareTestEntry(EFI_HANDLE ImageHandle,
                                               EFI_SYSTEM_TABLE *SystemTable) {
  RecordServices(ImageHandle, SystemTable);
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
