// Handoff tables: the platform table into PCR 0 and the SMBIOS structure table
// into PCR 1. Each record names its table; the PCR gets the table's contents.
#include "IndustryStandard/SmBios.h"
#include "Platform/PlatformTableProtocol.h"
#include "Tcg/TcgEventData.h"
#include "support/Hw.h"
#include "support/Strings.h"
#include "tpm_platform/core/Globals.h"
#include "tpm_platform/measure/Measure.h"

namespace TpmPlatform {
namespace {

// A platform table claiming more than this is taken as corrupt and not
// hashed: its length field would send the hash far past the table.
constexpr UINT32 kMaxPlatformTableLength = 0x10000;

// Returns EFI_OUT_OF_RESOURCES when the record cannot be allocated; otherwise
// *Logged is the protocol's status.
EFI_STATUS LogHandoffTable(EFI_TCG_PROTOCOL *Tcg, UINT32 Pcr, const EFI_GUID *Guid,
                           UINT64 TableAddress, EFI_PHYSICAL_ADDRESS HashData, UINT64 HashLength,
                           EFI_STATUS *Logged) {
  UINT8 *Record = nullptr;
  constexpr UINTN RecordSize = kTcgPcrEventHeaderSize + sizeof(EFI_HANDOFF_TABLE_POINTERS_ONE);
  if (EFI_ERROR(
          gBS->AllocatePool(EfiBootServicesData, RecordSize, reinterpret_cast<VOID **>(&Record))))
    return EFI_OUT_OF_RESOURCES;
  // With no data to hash (a table at address 0) the protocol extends the
  // record's digest as it stands: zeros, never whatever the pool held.
  gBS->SetMem(Record, RecordSize, 0);

  auto *Event = reinterpret_cast<TCG_PCR_EVENT *>(Record);
  Event->PCRIndex = Pcr;
  Event->EventType = EV_EFI_HANDOFF_TABLES;
  Event->EventSize = sizeof(EFI_HANDOFF_TABLE_POINTERS_ONE);
  EFI_HANDOFF_TABLE_POINTERS_ONE Pointers;
  Pointers.NumberOfTables = 1;
  Pointers.VendorGuid = *Guid;
  Pointers.VendorTable = TableAddress;
  gBS->CopyMem(Record + kTcgPcrEventHeaderSize, &Pointers, sizeof(Pointers));

  UINT32 EventNumber = 0;
  EFI_PHYSICAL_ADDRESS LastEntry = 0;
  *Logged = Tcg->HashLogExtendEvent(Tcg, HashData, HashLength, TPM_ALG_SHA, Event, &EventNumber,
                                    &LastEntry);
  gBS->FreePool(Record);
  return EFI_SUCCESS;
}

} // namespace

EFI_STATUS FindConfigurationTable(const EFI_GUID *Guid, VOID **Table) {
  *Table = nullptr;
  for (UINTN Index = 0; Index < gST->NumberOfTableEntries; ++Index) {
    const EFI_CONFIGURATION_TABLE &Entry = gST->ConfigurationTable[Index];
    if (CompareBytes(&Entry.VendorGuid, Guid, sizeof(EFI_GUID)) == 0) {
      *Table = Entry.VendorTable;
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI MeasureHandoffTables() {
  EFI_TCG_PROTOCOL *Tcg = nullptr;
  EFI_STATUS Status = LocateTcg(&Tcg);
  if (EFI_ERROR(Status))
    return Status;

  UINT8 *PlatformTableInterface = nullptr;
  if (!EFI_ERROR(gBS->LocateProtocol(&gPlatformTableProtocolGuid, nullptr,
                                     reinterpret_cast<VOID **>(&PlatformTableInterface)))) {
    UINT64 TableAddress;
    CopyBytes(&TableAddress, PlatformTableInterface + kPlatformTableAddressOffset,
              sizeof(TableAddress));
    // Address 0: the component has no table to hand over.
    if (TableAddress != 0) {
      UINT32 Length;
      CopyBytes(&Length,
                static_cast<const UINT8 *>(PhysicalToPointer(TableAddress)) +
                    kPlatformTableLengthOffset,
                sizeof(Length));
      // A record the protocol refused does not keep the SMBIOS one from
      // being logged; a record that could not be allocated ends the step.
      EFI_STATUS Logged;
      if (Length <= kMaxPlatformTableLength &&
          EFI_ERROR(LogHandoffTable(Tcg, kPcrPlatformTable, &gPlatformTableGuid, TableAddress,
                                    TableAddress, Length, &Logged)))
        return EFI_OUT_OF_RESOURCES;
    }
  }

  VOID *EntryPoint = nullptr;
  if (EFI_ERROR(FindConfigurationTable(&gEfiSmbiosTableGuid, &EntryPoint)) || EntryPoint == nullptr)
    return EFI_NOT_FOUND;

  SMBIOS_TABLE_ENTRY_POINT Smbios;
  CopyBytes(&Smbios, EntryPoint, sizeof(Smbios));
  EFI_STATUS Logged = EFI_SUCCESS;
  Status = LogHandoffTable(Tcg, kPcrSmbios, &gEfiSmbiosTableGuid, PointerToPhysical(EntryPoint),
                           Smbios.TableAddress, Smbios.TableLength, &Logged);
  return EFI_ERROR(Status) ? Status : Logged;
}

} // namespace TpmPlatform
