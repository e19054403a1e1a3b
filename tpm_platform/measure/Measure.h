// Measurements: event-record primitives, the ready-to-boot measurement steps
// and the hooks that set them in motion.
#pragma once
#include "Protocol/PciIo.h"
#include "Tcg/TcgProtocol.h"
#include "Uefi/UefiSpec.h"

namespace TpmPlatform {

// --- Primitives: one TCG_PCR_EVENT each, logged and extended in one call ---
EFI_STATUS MeasureVariable(UINT32 PcrIndex, UINT32 EventType, const CHAR16 *VariableName,
                           const EFI_GUID *VendorGuid, const VOID *Data, UINTN DataSize);
EFI_STATUS MeasureBootVariable(const CHAR16 *VariableName, const EFI_GUID *VendorGuid,
                               UINTN *DataSize, VOID **Data, UINT32 PcrIndex);
EFI_STATUS MeasureAction(const CHAR8 *String, UINT32 PcrIndex);
EFI_STATUS MeasureSeparator(UINT32 PcrIndex);
EFI_STATUS MeasureMicrocode(EFI_PHYSICAL_ADDRESS ImageAddress, UINT64 ImageLength);
EFI_STATUS MeasureOptionRom(const VOID *RomImage, UINT64 RomLength, UINT16 Pfa);

// A new boot-services pool copy of a variable's data (caller frees), or NULL.
VOID *ReadVariableAlloc(const CHAR16 *VariableName, const EFI_GUID *VendorGuid, UINTN *DataSize);

// --- Ready-to-boot measurement steps ---
EFI_STATUS EFIAPI MeasureHandoffTables();
EFI_STATUS EFIAPI MeasureBootVariables();
EFI_STATUS EFIAPI MeasureSecureBootVariables();
EFI_STATUS EFIAPI MeasureWakeEvent();
EFI_STATUS EFIAPI MeasureSeparators();
EFI_STATUS GetWakeType(UINT8 *WakeType);
EFI_STATUS FindConfigurationTable(const EFI_GUID *Guid, VOID **Table);

// --- Option ROMs ---
VOID EFIAPI OptionRomNotify(EFI_EVENT Event, VOID *Context);
EFI_STATUS CheckLegacyPciRom(EFI_HANDLE PciHandle, VOID **RomImage, UINTN *RomSize, UINTN *Flags);
UINT64 GetPciFunctionAddress(EFI_PCI_IO_PROTOCOL *PciIo);

// --- Microcode ---
// Walks the FFS files of the firmware volume at Volume, of which at most Limit
// bytes are addressable, for the file named Name. On success *Data and *DataSize
// give the file's contents after its 24-byte header. EFI_NOT_FOUND when erased
// flash, a corrupt volume or file header, or the volume's end comes first.
EFI_STATUS FindFlashFile(EFI_PHYSICAL_ADDRESS Volume, UINT64 Limit, const EFI_GUID *Name,
                         EFI_PHYSICAL_ADDRESS *Data, UINT64 *DataSize);

// --- Ready to boot ---
EFI_STATUS CreateReadyToBootEvent(EFI_TPL NotifyTpl, EFI_EVENT_NOTIFY NotifyFunction,
                                  VOID *NotifyContext, EFI_EVENT *Event);
VOID EFIAPI ReadyToBootCallback(EFI_EVENT Event, VOID *Context);

typedef EFI_STATUS(EFIAPI *MEASUREMENT_STEP)();
enum MeasurementStepSlot : UINTN {
  kStepOptionRomHook = 0,
  kStepHandoffTables = 1,
  kStepMicrocodeHook = 2,
  kStepBootVariables = 3,
  kStepSecureBootVariables = 4,
  kStepSeparators = 5,
  kStepWakeEvent = 6,
  kMeasurementStepCount = 7,
};
extern const MEASUREMENT_STEP MeasurementStepTable[kMeasurementStepCount];

struct MeasureState {
  UINT64 ReadyToBootCount; // completed runs of ReadyToBootCallback
  EFI_EVENT ReadyToBootEvent;
  // Registration key of the PCI I/O notification, the search key of
  // OptionRomNotify (its context points here).
  VOID *OptionRomRegistration;
};
inline constexpr MeasureState kMeasureInitialState = {0, nullptr, nullptr};
extern constinit MeasureState gMeasure;

inline constexpr UINT64 &gReadyToBootCount = gMeasure.ReadyToBootCount;
inline constexpr EFI_EVENT &gReadyToBootEvent = gMeasure.ReadyToBootEvent;
inline constexpr VOID *&gOptionRomRegistration = gMeasure.OptionRomRegistration;

constexpr UINT32 kPcrMicrocode = 1;
constexpr UINT32 kPcrOptionRom = 2;
constexpr UINT32 kPcrPlatformTable = 0;
constexpr UINT32 kPcrSmbios = 1;
constexpr UINT32 kPcrSecureBoot = 7;
constexpr UINT32 kPcrWakeEvent = 6;
constexpr UINT32 kPcrBootAction = 5;

constexpr EFI_PHYSICAL_ADDRESS kMicrocodeFlashVolume = 0xFFAF0000;
inline constexpr EFI_GUID gMicrocodeFileGuid = {
    0x17088572, 0x377F, 0x44EF, {0x8F, 0x4E, 0xB0, 0x9F, 0xFF, 0x46, 0xA0, 0x70}};

} // namespace TpmPlatform
