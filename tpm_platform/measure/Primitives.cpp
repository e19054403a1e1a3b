// Event-record primitives: each builds one TCG_PCR_EVENT of a fixed kind and
// hands it to EFI_TCG_PROTOCOL.HashLogExtendEvent, which hashes, extends and
// logs in one call. The protocol is looked up afresh on every call.
#include "Tcg/TcgEventData.h"
#include "support/Hw.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {

// Header plus event data in one stack buffer, for the fixed-size records.
template <UINTN N> struct FixedRecord {
  UINT32 PCRIndex;
  UINT32 EventType;
  TCG_DIGEST Digest;
  UINT32 EventSize;
  UINT8 Event[N];
};
static_assert(__builtin_offsetof(FixedRecord<8>, Event) == kTcgPcrEventHeaderSize,
              "record header matches TCG_PCR_EVENT");

template <UINTN N>
EFI_STATUS LogFixed(EFI_TCG_PROTOCOL *Tcg, FixedRecord<N> *Record, UINT32 Pcr, UINT32 Type,
                    EFI_PHYSICAL_ADDRESS HashData, UINT64 HashLength, bool WantLastEntry) {
  Record->PCRIndex = Pcr;
  Record->EventType = Type;
  Record->EventSize = N;
  UINT32 EventNumber = 0;
  EFI_PHYSICAL_ADDRESS LastEntry = 0;
  return Tcg->HashLogExtendEvent(Tcg, HashData, HashLength, TPM_ALG_SHA,
                                 reinterpret_cast<TCG_PCR_EVENT *>(Record), &EventNumber,
                                 WantLastEntry ? &LastEntry : nullptr);
}

} // namespace

EFI_STATUS MeasureVariable(UINT32 PcrIndex, UINT32 EventType, const CHAR16 *VariableName,
                           const EFI_GUID *VendorGuid, const VOID *Data, UINTN DataSize) {
  EFI_TCG_PROTOCOL *Tcg;
  EFI_STATUS Status = LocateTcg(&Tcg);
  if (EFI_ERROR(Status))
    return Status;

  UINTN NameLength = WideLength(VariableName);
  UINTN EventSize = sizeof(EFI_VARIABLE_DATA_HEADER) + 2 * NameLength + DataSize;

  UINT8 *Record = nullptr;
  UINT8 *EventData = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, kTcgPcrEventHeaderSize + EventSize,
                                  reinterpret_cast<VOID **>(&Record))) ||
      EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, EventSize,
                                  reinterpret_cast<VOID **>(&EventData)))) {
    if (Record)
      gBS->FreePool(Record);
    return EFI_OUT_OF_RESOURCES;
  }

  auto *Event = reinterpret_cast<TCG_PCR_EVENT *>(Record);
  Event->PCRIndex = PcrIndex;
  Event->EventType = EventType;
  Event->EventSize = static_cast<UINT32>(EventSize);

  EFI_VARIABLE_DATA_HEADER Header;
  Header.VariableName = *VendorGuid;
  Header.UnicodeNameLength = NameLength;
  Header.VariableDataLength = DataSize;
  gBS->CopyMem(EventData, &Header, sizeof(Header));
  gBS->CopyMem(EventData + sizeof(Header), VariableName, 2 * NameLength);
  gBS->CopyMem(EventData + sizeof(Header) + 2 * NameLength, Data, DataSize);
  gBS->CopyMem(Record + kTcgPcrEventHeaderSize, EventData, EventSize);

  UINT32 EventNumber = 0;
  EFI_PHYSICAL_ADDRESS LastEntry = 0;
  Status = Tcg->HashLogExtendEvent(Tcg, PointerToPhysical(EventData), EventSize, TPM_ALG_SHA, Event,
                                   &EventNumber, &LastEntry);
  gBS->FreePool(EventData);
  gBS->FreePool(Record);
  return Status;
}

EFI_STATUS MeasureBootVariable(const CHAR16 *VariableName, const EFI_GUID *VendorGuid,
                               UINTN *DataSize, VOID **Data, UINT32 PcrIndex) {
  *Data = ReadVariableAlloc(VariableName, VendorGuid, DataSize);
  if (*Data == nullptr)
    return EFI_NOT_FOUND;
  return MeasureVariable(PcrIndex, EV_EFI_VARIABLE_BOOT, VariableName, VendorGuid, *Data,
                         *DataSize);
}

EFI_STATUS MeasureAction(const CHAR8 *String, UINT32 PcrIndex) {
  EFI_TCG_PROTOCOL *Tcg;
  EFI_STATUS Status = LocateTcg(&Tcg);
  if (EFI_ERROR(Status))
    return Status;

  UINTN Length = NarrowLength(String);
  UINT8 *Record = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, kTcgPcrEventHeaderSize + Length,
                                  reinterpret_cast<VOID **>(&Record))))
    return EFI_OUT_OF_RESOURCES;

  auto *Event = reinterpret_cast<TCG_PCR_EVENT *>(Record);
  Event->PCRIndex = PcrIndex;
  Event->EventType = EV_EFI_ACTION;
  Event->EventSize = static_cast<UINT32>(Length);
  gBS->CopyMem(Record + kTcgPcrEventHeaderSize, String, Length);

  UINT32 EventNumber = 0;
  EFI_PHYSICAL_ADDRESS LastEntry = 0;
  Status = Tcg->HashLogExtendEvent(Tcg, PointerToPhysical(String), Length, TPM_ALG_SHA, Event,
                                   &EventNumber, &LastEntry);
  gBS->FreePool(Record);
  return Status;
}

EFI_STATUS MeasureSeparator(UINT32 PcrIndex) {
  EFI_TCG_PROTOCOL *Tcg;
  EFI_STATUS Status = LocateTcg(&Tcg);
  if (EFI_ERROR(Status))
    return Status;

  const UINT32 Separator = EV_EFI_SEPARATOR_VALUE;
  FixedRecord<sizeof(Separator)> Record;
  CopyBytes(Record.Event, &Separator, sizeof(Separator));
  return LogFixed(Tcg, &Record, PcrIndex, EV_SEPARATOR, PointerToPhysical(&Separator),
                  sizeof(Separator), true);
}

EFI_STATUS MeasureMicrocode(EFI_PHYSICAL_ADDRESS ImageAddress, UINT64 ImageLength) {
  EFI_TCG_PROTOCOL *Tcg;
  EFI_STATUS Status = LocateTcg(&Tcg);
  if (EFI_ERROR(Status))
    return Status;

  // The event names where the image lies; the PCR gets the image itself.
  FixedRecord<sizeof(UINT64)> Record;
  CopyBytes(Record.Event, &ImageAddress, sizeof(ImageAddress));
  return LogFixed(Tcg, &Record, kPcrMicrocode, EV_CPU_MICROCODE, ImageAddress, ImageLength, false);
}

EFI_STATUS MeasureOptionRom(const VOID *RomImage, UINT64 RomLength, UINT16 Pfa) {
  EFI_TCG_PROTOCOL *Tcg;
  if (EFI_ERROR(LocateTcg(&Tcg)))
    return EFI_SUCCESS; // no TPM: option ROMs are simply not measured

  TCG_OPTION_ROM_TAGGED_EVENT Tagged;
  Tagged.EventID = TCG_EVENT_ID_OPTION_ROM_EXECUTE;
  Tagged.EventDataSize = sizeof(Tagged) - 8;
  Tagged.Reserved = 0;
  Tagged.PFA = Pfa;

  UINT64 HashedLength = SHA1_DIGEST_SIZE;
  UINT8 *DigestOut = Tagged.OptionRomDigest.digest;
  EFI_STATUS Status = Tcg->HashAll(Tcg, static_cast<UINT8 *>(const_cast<VOID *>(RomImage)),
                                   RomLength, TPM_ALG_SHA, &HashedLength, &DigestOut);
  if (EFI_ERROR(Status))
    return Status;

  // The PFA sits inside the hashed data, so equal ROMs in different slots
  // extend PCR 2 differently.
  FixedRecord<sizeof(Tagged)> Record;
  CopyBytes(Record.Event, &Tagged, sizeof(Tagged));
  return LogFixed(Tcg, &Record, kPcrOptionRom, EV_EVENT_TAG, PointerToPhysical(&Tagged),
                  sizeof(Tagged), true);
}

} // namespace TpmPlatform
