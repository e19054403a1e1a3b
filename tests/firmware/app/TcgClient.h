// The application's view of the TPM: PCR reads through the firmware's TCG
// protocol, its event log, and a replay of that log.
#pragma once
#include "Tcg/TcgProtocol.h"
#include "Uefi/UefiSpec.h"

namespace FirmwareTest {

constexpr UINT32 kReplayedPcrs = 8;

struct EventLogView {
  EFI_PHYSICAL_ADDRESS Location;
  EFI_PHYSICAL_ADDRESS LastEntry;
};

EFI_TCG_PROTOCOL *LocateTcg();
EFI_STATUS GetEventLog(EFI_TCG_PROTOCOL *Tcg, EventLogView *View);
// TPM_PCRRead through PassThroughToTpm; returns the TPM return code (0 = success).
UINT32 ReadPcr(EFI_TCG_PROTOCOL *Tcg, UINT32 Index, UINT8 Value[SHA1_DIGEST_SIZE]);
// Sends a raw command; returns the TPM return code, big-endian decoded.
UINT32 SendTpmCommand(EFI_TCG_PROTOCOL *Tcg, const UINT8 *Request, UINT32 RequestSize,
                      UINT8 *Response, UINT32 ResponseSize);
// The record following Record, or nullptr past the last entry.
const TCG_PCR_EVENT *NextEvent(const EventLogView &View, const TCG_PCR_EVENT *Record);
const TCG_PCR_EVENT *FirstEvent(const EventLogView &View);
// Replays every record of the log into PCRs 0..7, extending with the
// firmware's own SHA-1 (HashAll). FALSE when a hash fails.
BOOLEAN ReplayLog(EFI_TCG_PROTOCOL *Tcg, const EventLogView &View,
                  UINT8 Pcrs[kReplayedPcrs][SHA1_DIGEST_SIZE]);
BOOLEAN Sha1(EFI_TCG_PROTOCOL *Tcg, const VOID *Data, UINTN Size, UINT8 Digest[SHA1_DIGEST_SIZE]);

} // namespace FirmwareTest
