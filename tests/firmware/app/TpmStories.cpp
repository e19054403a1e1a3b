// The TPM as the firmware gives it to the drivers, and the final replay of the
// whole event log against the PCRs the TPM reports.
#include "support/Strings.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TcgClient.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

VOID TpmBaselineStory() {
  EFI_TCG_PROTOCOL *tcg = LocateTcg();
  if (!Check(tcg != nullptr, u"EFI_TCG_PROTOCOL is installed"))
    return;
  EventLogView log;
  EFI_STATUS status = GetEventLog(tcg, &log);
  Check(!EFI_ERROR(status) && log.Location != 0 && log.LastEntry >= log.Location,
        u"StatusCheck reports the event log (%r)", status);
  UINT8 pcr[SHA1_DIGEST_SIZE];
  UINT32 rc = ReadPcr(tcg, 0, pcr);
  Check(rc == 0, u"TPM_PCRRead answers (rc %x)", rc);
}

VOID EventLogReplayStory() {
  EFI_TCG_PROTOCOL *tcg = LocateTcg();
  if (tcg == nullptr)
    return;
  EventLogView log;
  if (EFI_ERROR(GetEventLog(tcg, &log)))
    return;
  UINT8 replayed[kReplayedPcrs][SHA1_DIGEST_SIZE];
  if (!Check(ReplayLog(tcg, log, replayed), u"event log replays with HashAll"))
    return;
  for (UINT32 i = 0; i < kReplayedPcrs; ++i) {
    UINT8 value[SHA1_DIGEST_SIZE];
    UINT32 rc = ReadPcr(tcg, i, value);
    Check(rc == 0 && CompareBytes(value, replayed[i], SHA1_DIGEST_SIZE) == 0,
          u"PCR %d read from the TPM equals the log replay", i);
  }
}

} // namespace FirmwareTest
