// The stories the application plays, in order. Each leaves the platform in the
// state the next one expects.
#pragma once
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

struct Story {
  const CHAR16 *Name;
  VOID (*Run)();
};

VOID TpmBaselineStory();
VOID EventLogReplayStory();
VOID ButtonSmmBootServiceStory();
VOID TpmPlatformStartupStory();
VOID TpmPlatformPpiStory();
VOID TpmPlatformMeasureStory();

inline constexpr Story kStories[] = {
    {u"tpm-baseline", TpmBaselineStory},
    {u"tpm-platform-startup", TpmPlatformStartupStory},
    {u"tpm-platform-ppi", TpmPlatformPpiStory},
    {u"tpm-platform-measure", TpmPlatformMeasureStory},
    {u"button-smm-boot-service", ButtonSmmBootServiceStory},
    {u"event-log-replay", EventLogReplayStory},
};

} // namespace FirmwareTest
