// The measurement hooks on real firmware: the records TpmPlatformDxe adds to
// the firmware's own event log at ready-to-boot, each digest recomputed with
// the firmware's SHA-1, and the physical-presence lock on the real TPM.
#include "Platform/PlatformTableProtocol.h"
#include "Platform/TpmDeviceProtocol.h"
#include "support/Strings.h"
#include "tests/firmware/app/Stories.h"
#include "tests/firmware/app/TcgClient.h"
#include "tests/firmware/app/TestLog.h"
#include "tests/firmware/app/TpmPlatformRun.h"
#include "tests/firmware/app/Variables.h"

namespace FirmwareTest {

namespace {

constexpr EFI_GUID kSmbiosTableGuid = {
    0xEB9D2D31, 0x2D88, 0x11D3, {0x9A, 0x16, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};

struct PlatformTable {
  UINT8 Interface[kPlatformTableAddressOffset + 8];
  UINT8 Table[48];
};
constinit PlatformTable gPlatformTable = {};
constinit UINT8 gTpmDevice = 0;

constexpr UINTN kMaxRecords = 48;
struct Records {
  UINTN Count;
  const TCG_PCR_EVENT *Record[kMaxRecords];
};

// The records logged after Since (a LastEntry seen earlier).
Records NewRecords(EFI_TCG_PROTOCOL *Tcg, EFI_PHYSICAL_ADDRESS Since) {
  Records found = {};
  EventLogView log;
  if (EFI_ERROR(GetEventLog(Tcg, &log)))
    return found;
  for (auto *record = FirstEvent(log); record != nullptr; record = NextEvent(log, record)) {
    if (reinterpret_cast<EFI_PHYSICAL_ADDRESS>(record) <= Since || found.Count == kMaxRecords)
      continue;
    found.Record[found.Count++] = record;
  }
  return found;
}

// How many records the log holds up to and including the one at Through.
UINTN RecordsThrough(EFI_TCG_PROTOCOL *Tcg, EFI_PHYSICAL_ADDRESS Through) {
  EventLogView log;
  UINTN count = 0;
  if (EFI_ERROR(GetEventLog(Tcg, &log)))
    return 0;
  for (auto *record = FirstEvent(log); record != nullptr; record = NextEvent(log, record))
    if (reinterpret_cast<EFI_PHYSICAL_ADDRESS>(record) <= Through)
      ++count;
  return count;
}

EFI_PHYSICAL_ADDRESS LastEntry(EFI_TCG_PROTOCOL *Tcg) {
  EventLogView log;
  return EFI_ERROR(GetEventLog(Tcg, &log)) ? 0 : log.LastEntry;
}

BOOLEAN IsAction(const TCG_PCR_EVENT *Record, const CHAR8 *Text) {
  UINTN length = NarrowLength(Text);
  return Record->EventType == EV_EFI_ACTION && Record->EventSize == length &&
         CompareBytes(Record->Event, Text, length) == 0;
}

BOOLEAN DigestOf(EFI_TCG_PROTOCOL *Tcg, const TCG_PCR_EVENT *Record, const VOID *Data, UINTN Size) {
  UINT8 digest[SHA1_DIGEST_SIZE];
  return Sha1(Tcg, Data, Size, digest) &&
         CompareBytes(digest, Record->Digest.digest, SHA1_DIGEST_SIZE) == 0;
}

UINT8 PhysicalPresenceLock(EFI_TCG_PROTOCOL *Tcg) {
  const UINT8 request[] = {0x00, 0xC1, 0, 0, 0, 0x16, 0, 0, 0, 0x65, 0,
                           0,    0,    4, 0, 0, 0,    4, 0, 0, 1,    9};
  UINT8 response[64];
  SendTpmCommand(Tcg, request, sizeof(request), response, sizeof(response));
  return response[19];
}

VOID SignalReadyToBoot() {
  EFI_EVENT event = nullptr;
  if (EFI_ERROR(gFw.Bs->CreateEventEx(
          EVT_NOTIFY_SIGNAL, TPL_CALLBACK, [](EFI_EVENT, VOID *) {}, nullptr,
          &gEfiEventReadyToBootGuid, &event)))
    return;
  gFw.Bs->SignalEvent(event);
  gFw.Bs->CloseEvent(event);
}

VOID *FindTable(const EFI_GUID &Guid) {
  for (UINTN i = 0; i < gFw.St->NumberOfTableEntries; ++i)
    if (gFw.St->ConfigurationTable[i].VendorGuid == Guid)
      return gFw.St->ConfigurationTable[i].VendorTable;
  return nullptr;
}

} // namespace

VOID TpmPlatformMeasureStory() {
  EFI_TCG_PROTOCOL *tcg = LocateTcg();
  if (gTpmRun.Hooks == nullptr || tcg == nullptr)
    return;
  for (UINTN i = 0; i < sizeof(gPlatformTable.Table); ++i)
    gPlatformTable.Table[i] = UINT8(0xA0 + i);
  gPlatformTable.Table[4] = sizeof(gPlatformTable.Table);
  gPlatformTable.Table[5] = gPlatformTable.Table[6] = gPlatformTable.Table[7] = 0;
  UINT64 address = reinterpret_cast<UINT64>(gPlatformTable.Table);
  CopyBytes(gPlatformTable.Interface + kPlatformTableAddressOffset, &address, 8);
  EFI_HANDLE handle = nullptr;
  gFw.Bs->InstallProtocolInterface(&handle, &gPlatformTableProtocolGuid, EFI_NATIVE_INTERFACE,
                                   gPlatformTable.Interface);
  handle = nullptr;
  gFw.Bs->InstallProtocolInterface(&handle, &gTpmDeviceProtocolGuid, EFI_NATIVE_INTERFACE,
                                   &gTpmDevice);

  // No microcode file in OVMF's volumes and nothing at the flash address the
  // driver scans: the hook must come back without a record.
  EFI_PHYSICAL_ADDRESS before = LastEntry(tcg);
  EFI_STATUS status = gTpmRun.Hooks->MicrocodeHook();
  Check(LastEntry(tcg) == before, u"MicrocodeHook logs nothing without a microcode file (%r)",
        status);

  status = gTpmRun.Hooks->ReadyToBootHook();
  Check(status == EFI_SUCCESS, u"ReadyToBootHook creates its event (%r)", status);
  // A fresh TPM has the software physical-presence command disabled, so a lock
  // would be refused; manufacturing enables it on a real board.
  const UINT8 commandEnable[] = {0x00, 0xC1, 0, 0, 0, 0x0C, 0x40, 0, 0, 0x0A, 0x00, 0x20};
  UINT8 response[32];
  UINT32 rc = SendTpmCommand(tcg, commandEnable, sizeof(commandEnable), response, sizeof(response));
  Print(u"TSC_PhysicalPresence(CMD_ENABLE) rc %x", rc);
  UINT8 lockBefore = PhysicalPresenceLock(tcg);
  before = LastEntry(tcg);
  SignalReadyToBoot();
  Records records = NewRecords(tcg, before);
  UINTN firmwareReturning = 0;
  for (UINTN i = 0; i < records.Count; ++i)
    if (IsAction(records.Record[i], "Returning from EFI Application from Boot Option"))
      ++firmwareReturning;
  for (UINTN i = 0; i < records.Count; ++i)
    Print(u"new record PCR %d type %x size %d", records.Record[i]->PCRIndex,
          records.Record[i]->EventType, records.Record[i]->EventSize);

  // The driver's run starts with its wake event; the firmware's own
  // ready-to-boot listeners may log before it.
  UINTN at = 0;
  const CHAR8 wake[] = {'W', 'a', 'k', 'e', ' ', 'E', 'v', 'e', 'n', 't', ' ', 0x06, 0};
  while (at < records.Count && !IsAction(records.Record[at], wake))
    ++at;
  if (!Check(at < records.Count && records.Record[at]->PCRIndex == 6,
             u"wake event \"Wake Event \" + 06 in PCR 6 (WakeInfoHob source 5)"))
    return;
  Check(DigestOf(tcg, records.Record[at], wake, 12), u"wake event digest covers its 12 bytes");
  ++at;

  const TCG_PCR_EVENT *platform = at < records.Count ? records.Record[at] : nullptr;
  BOOLEAN platformOk = platform != nullptr && platform->PCRIndex == 0 &&
                       platform->EventType == EV_EFI_HANDOFF_TABLES && platform->EventSize == 32;
  if (platformOk) {
    UINT64 tables = 0, table = 0;
    CopyBytes(&tables, platform->Event, 8);
    CopyBytes(&table, platform->Event + 24, 8);
    platformOk = tables == 1 && CompareBytes(platform->Event + 8, &gPlatformTableGuid, 16) == 0 &&
                 table == address &&
                 DigestOf(tcg, platform, gPlatformTable.Table, sizeof(gPlatformTable.Table));
  }
  Check(platformOk, u"platform table handoff record in PCR 0, digest of the table's bytes");
  ++at;

  const UINT8 *smbios = static_cast<const UINT8 *>(FindTable(kSmbiosTableGuid));
  if (smbios != nullptr) {
    const TCG_PCR_EVENT *record = at < records.Count ? records.Record[at] : nullptr;
    UINT32 structures = 0;
    UINT16 length = 0;
    CopyBytes(&structures, smbios + 0x18, 4);
    CopyBytes(&length, smbios + 0x16, 2);
    Check(record != nullptr && record->PCRIndex == 1 &&
              record->EventType == EV_EFI_HANDOFF_TABLES &&
              CompareBytes(record->Event + 8, &kSmbiosTableGuid, 16) == 0 &&
              DigestOf(tcg, record, reinterpret_cast<const VOID *>(UINT64(structures)), length),
          u"SMBIOS handoff record in PCR 1, digest of the %d-byte structure table", length);
    ++at;
  } else {
    Print(u"no SMBIOS 2.x entry point in this firmware");
  }

  Check(at < records.Count && records.Record[at]->PCRIndex == 5 &&
            IsAction(records.Record[at], "Calling EFI Application from Boot Option"),
        u"\"Calling EFI Application from Boot Option\" in PCR 5");
  ++at;

  UINT16 order[32];
  UINTN orderSize = sizeof(order);
  UINTN bootRecords = 0;
  BOOLEAN bootOk = TRUE;
  if (!EFI_ERROR(ReadVariable(u"BootOrder", gEfiGlobalVariableGuid, order, &orderSize))) {
    for (; at < records.Count && records.Record[at]->EventType == EV_EFI_VARIABLE_BOOT; ++at) {
      const TCG_PCR_EVENT *record = records.Record[at];
      bootOk = bootOk && record->PCRIndex == 5 &&
               DigestOf(tcg, record, record->Event, record->EventSize);
      ++bootRecords;
    }
  }
  Check(bootOk && bootRecords == 1 + orderSize / 2,
        u"BootOrder and its %d options measured into PCR 5 (%d records)", orderSize / 2,
        bootRecords);

  const UINT8 separator[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  BOOLEAN separatorsOk = TRUE;
  for (UINT32 pcr = 0; pcr < 8; ++pcr, ++at) {
    const TCG_PCR_EVENT *record = at < records.Count ? records.Record[at] : nullptr;
    separatorsOk = separatorsOk && record != nullptr && record->PCRIndex == pcr &&
                   record->EventType == EV_SEPARATOR && record->EventSize == 4 &&
                   CompareBytes(record->Event, separator, 4) == 0 &&
                   DigestOf(tcg, record, separator, 4);
  }
  Check(separatorsOk, u"separators for PCR 0 to 7, in order, no Secure Boot record without PK");
  UINT8 lockAfter = PhysicalPresenceLock(tcg);
  Check(lockAfter == 1, u"physical presence locked after ready-to-boot (before %d, after %d)",
        lockBefore, lockAfter);

  before = LastEntry(tcg);
  SignalReadyToBoot();
  records = NewRecords(tcg, before);
  // Where these records sit in the log, for a reader of the same log after the
  // hand-over to an operating system (records counted from 0).
  UINTN first = RecordsThrough(tcg, before);
  Print(u"a later ready-to-boot logged records %d to %d", first, first + records.Count - 1);
  UINTN returning = 0;
  for (UINTN i = 0; i < records.Count; ++i) {
    Print(u"new record PCR %d type %x size %d", records.Record[i]->PCRIndex,
          records.Record[i]->EventType, records.Record[i]->EventSize);
    if (records.Record[i]->PCRIndex == 5 &&
        IsAction(records.Record[i], "Returning from EFI Application from Boot Option"))
      ++returning;
  }
  // The firmware's own listener logs the same text on every signal; the driver adds one more.
  Check(returning == firmwareReturning + 1,
        u"a later ready-to-boot adds one \"Returning from EFI Application from Boot Option\" in "
        u"PCR 5 (%d, firmware alone %d)",
        returning, firmwareReturning);
}

} // namespace FirmwareTest
