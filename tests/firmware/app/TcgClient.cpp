#include "tests/firmware/app/TcgClient.h"

#include "support/Strings.h"
#include "tests/firmware/app/TestLog.h"

namespace FirmwareTest {

EFI_TCG_PROTOCOL *LocateTcg() {
  EFI_TCG_PROTOCOL *tcg = nullptr;
  if (EFI_ERROR(
          gFw.Bs->LocateProtocol(&gEfiTcgProtocolGuid, nullptr, reinterpret_cast<VOID **>(&tcg))))
    return nullptr;
  return tcg;
}

EFI_STATUS GetEventLog(EFI_TCG_PROTOCOL *Tcg, EventLogView *View) {
  TCG_EFI_BOOT_SERVICE_CAPABILITY capability = {};
  capability.Size = sizeof(capability);
  UINT32 features = 0;
  View->Location = 0;
  View->LastEntry = 0;
  return Tcg->StatusCheck(Tcg, &capability, &features, &View->Location, &View->LastEntry);
}

UINT32 SendTpmCommand(EFI_TCG_PROTOCOL *Tcg, const UINT8 *Request, UINT32 RequestSize,
                      UINT8 *Response, UINT32 ResponseSize) {
  UINT8 request[64];
  CopyBytes(request, Request, RequestSize);
  FillBytes(Response, ResponseSize, 0);
  EFI_STATUS status = Tcg->PassThroughToTpm(Tcg, RequestSize, request, ResponseSize, Response);
  if (EFI_ERROR(status))
    return 0xFFFFFFFF;
  return (UINT32(Response[6]) << 24) | (UINT32(Response[7]) << 16) | (UINT32(Response[8]) << 8) |
         Response[9];
}

UINT32 ReadPcr(EFI_TCG_PROTOCOL *Tcg, UINT32 Index, UINT8 Value[SHA1_DIGEST_SIZE]) {
  const UINT8 request[14] = {0x00,
                             0xC1,
                             0,
                             0,
                             0,
                             14,
                             0,
                             0,
                             0,
                             0x15,
                             UINT8(Index >> 24),
                             UINT8(Index >> 16),
                             UINT8(Index >> 8),
                             UINT8(Index)};
  UINT8 response[64];
  UINT32 rc = SendTpmCommand(Tcg, request, sizeof(request), response, sizeof(response));
  CopyBytes(Value, response + 10, SHA1_DIGEST_SIZE);
  return rc;
}

const TCG_PCR_EVENT *FirstEvent(const EventLogView &View) {
  if (View.Location == 0 || View.LastEntry < View.Location)
    return nullptr;
  return reinterpret_cast<const TCG_PCR_EVENT *>(View.Location);
}

const TCG_PCR_EVENT *NextEvent(const EventLogView &View, const TCG_PCR_EVENT *Record) {
  auto address = reinterpret_cast<EFI_PHYSICAL_ADDRESS>(Record);
  if (address >= View.LastEntry)
    return nullptr;
  return reinterpret_cast<const TCG_PCR_EVENT *>(address + kTcgPcrEventHeaderSize +
                                                 Record->EventSize);
}

BOOLEAN Sha1(EFI_TCG_PROTOCOL *Tcg, const VOID *Data, UINTN Size, UINT8 Digest[SHA1_DIGEST_SIZE]) {
  UINT64 digestSize = SHA1_DIGEST_SIZE;
  UINT8 *result = Digest;
  return !EFI_ERROR(Tcg->HashAll(Tcg, static_cast<UINT8 *>(const_cast<VOID *>(Data)), Size,
                                 TPM_ALG_SHA, &digestSize, &result));
}

BOOLEAN ReplayLog(EFI_TCG_PROTOCOL *Tcg, const EventLogView &View,
                  UINT8 Pcrs[kReplayedPcrs][SHA1_DIGEST_SIZE]) {
  FillBytes(Pcrs, kReplayedPcrs * SHA1_DIGEST_SIZE, 0);
  for (auto *record = FirstEvent(View); record != nullptr; record = NextEvent(View, record)) {
    if (record->PCRIndex >= kReplayedPcrs)
      continue;
    UINT8 joined[2 * SHA1_DIGEST_SIZE];
    CopyBytes(joined, Pcrs[record->PCRIndex], SHA1_DIGEST_SIZE);
    CopyBytes(joined + SHA1_DIGEST_SIZE, record->Digest.digest, SHA1_DIGEST_SIZE);
    if (!Sha1(Tcg, joined, sizeof(joined), Pcrs[record->PCRIndex]))
      return FALSE;
  }
  return TRUE;
}

} // namespace FirmwareTest
