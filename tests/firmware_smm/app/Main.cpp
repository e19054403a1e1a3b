// Entry of the SMM story application. OVMF boots it after the SMM lock, when
// the platform belongs to the OS: it plays the OS, prints the tally and powers
// the machine off.
#include "tests/firmware_smm/app/Log.h"
#include "tests/firmware_smm/app/Stories.h"

using namespace SmmStory;

const CHAR16 FirmwareApp::kLogTag[] = u"[smm-test] ";

extern "C" EFI_STATUS EFIAPI SmmStoryEntry(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  RecordServices(ImageHandle, SystemTable);
  Print(u"start");
  LoadStory();
  SmramStory();
  OsSmiStory();
  Print(u"%d passed, %d failed", PassedCount(), FailedCount());
  gFw.Rt->ResetSystem(EfiResetShutdown, EFI_SUCCESS, 0, nullptr);
  return EFI_SUCCESS;
}
