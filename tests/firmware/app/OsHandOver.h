// The hand-over to an operating system after the stories: when the volume
// carries a kernel, the application starts it as a boot option would, so the
// kernel reads the event log and PCRs the drivers left behind.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

// Returns only when there is no kernel on the volume or it could not start.
VOID StartOperatingSystem();

} // namespace FirmwareTest
