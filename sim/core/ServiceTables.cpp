#include "sim/core/ServiceTables.h"

#include "sim/board/Board.h"
#include "sim/core/Crc32.h"
#include "sim/core/Errors.h"
#include "sim/core/Events.h"
#include "sim/core/Guid.h"
#include "sim/core/HandleDatabase.h"
#include "sim/core/Pool.h"
#include "sim/core/SystemTables.h"
#include "sim/core/Text.h"
#include "sim/memory/MemoryMap.h"

#include <cstring>

namespace sim {

namespace {

Board &B() {
  return Board::Current();
}

#define SIM_FAULT(...)                                                                             \
  if (auto injected = B().Faults().Check(__VA_ARGS__))                                             \
  return *injected

std::string NameOf(const CHAR16 *name) {
  return name ? ToUtf8(std::u16string_view(name, WideLength(name, 1024))) : std::string();
}

// ---- Task priority, memory ------------------------------------------------

EFI_TPL EFIAPI RaiseTpl(EFI_TPL newTpl) {
  return B().Events().Raise(newTpl);
}
VOID EFIAPI RestoreTpl(EFI_TPL oldTpl) {
  B().Events().Restore(oldTpl);
}

EFI_STATUS EFIAPI AllocatePages(EFI_ALLOCATE_TYPE type, EFI_MEMORY_TYPE memoryType, UINTN pages,
                                EFI_PHYSICAL_ADDRESS *memory) {
  SIM_FAULT("AllocatePages");
  (void)memoryType;
  if (memory == nullptr || pages == 0 || type > AllocateAddress)
    return EFI_INVALID_PARAMETER;
  if (type == AllocateAddress)
    return EFI_NOT_FOUND; // fixed addresses belong to the board's regions
  try {
    EFI_PHYSICAL_ADDRESS address = B().Memory().Allocate("low", UINT64(pages) * 4096, 4096);
    if (type == AllocateMaxAddress && address + pages * 4096 - 1 > *memory)
      return EFI_NOT_FOUND;
    *memory = address;
    return EFI_SUCCESS;
  } catch (const SimulationError &) {
    return EFI_OUT_OF_RESOURCES;
  }
}

EFI_STATUS EFIAPI FreePages(EFI_PHYSICAL_ADDRESS, UINTN) {
  SIM_FAULT("FreePages");
  // Pages come from a bump allocator: freeing only forgets them.
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  if (auto injected = B().Faults().Check("AllocatePool")) {
    if (!B().Faults().LastIsNullBuffer())
      return *injected;
    if (buffer != nullptr)
      *buffer = nullptr;
    return EFI_SUCCESS;
  }
  return B().Pool().Allocate(type, size, buffer);
}

EFI_STATUS EFIAPI FreePool(VOID *buffer) {
  SIM_FAULT("FreePool");
  return B().Pool().Free(buffer);
}

// ---- Events -----------------------------------------------------------------

EFI_STATUS EFIAPI CreateEvent(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify, VOID *context,
                              EFI_EVENT *event) {
  SIM_FAULT("CreateEvent");
  return B().Events().Create(type, tpl, notify, context, nullptr, event);
}

EFI_STATUS EFIAPI CreateEventEx(UINT32 type, EFI_TPL tpl, EFI_EVENT_NOTIFY notify,
                                const VOID *context, const EFI_GUID *group, EFI_EVENT *event) {
  SIM_FAULT("CreateEventEx");
  return B().Events().Create(type, tpl, notify, context, group, event);
}

EFI_STATUS EFIAPI SetTimer(EFI_EVENT event, EFI_TIMER_DELAY type, UINT64 time) {
  SIM_FAULT("SetTimer");
  return B().Events().SetTimer(event, type, time);
}

EFI_STATUS EFIAPI WaitForEvent(UINTN count, EFI_EVENT *events, UINTN *index) {
  SIM_FAULT("WaitForEvent");
  return B().Events().Wait(count, events, index);
}

EFI_STATUS EFIAPI SignalEvent(EFI_EVENT event) {
  SIM_FAULT("SignalEvent");
  return B().Events().Signal(event);
}

EFI_STATUS EFIAPI CloseEvent(EFI_EVENT event) {
  SIM_FAULT("CloseEvent");
  return B().Events().Close(event);
}

EFI_STATUS EFIAPI CheckEvent(EFI_EVENT event) {
  SIM_FAULT("CheckEvent");
  return B().Events().Check(event);
}

// ---- Protocols ----------------------------------------------------------------

EFI_STATUS EFIAPI InstallProtocolInterface(EFI_HANDLE *handle, const EFI_GUID *protocol,
                                           EFI_INTERFACE_TYPE type, VOID *interface) {
  SIM_FAULT("InstallProtocolInterface");
  return B().Handles().Install(handle, protocol, type, interface);
}

EFI_STATUS EFIAPI ReinstallProtocolInterface(EFI_HANDLE handle, const EFI_GUID *protocol,
                                             VOID *oldInterface, VOID *newInterface) {
  SIM_FAULT("ReinstallProtocolInterface");
  return B().Handles().Reinstall(handle, protocol, oldInterface, newInterface);
}

EFI_STATUS EFIAPI UninstallProtocolInterface(EFI_HANDLE handle, const EFI_GUID *protocol,
                                             VOID *interface) {
  SIM_FAULT("UninstallProtocolInterface");
  return B().Handles().Uninstall(handle, protocol, interface);
}

EFI_STATUS EFIAPI HandleProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, VOID **interface) {
  SIM_FAULT("HandleProtocol");
  return B().Handles().HandleProtocol(handle, protocol, interface);
}

EFI_STATUS EFIAPI RegisterProtocolNotify(const EFI_GUID *protocol, EFI_EVENT event,
                                         VOID **registration) {
  SIM_FAULT("RegisterProtocolNotify");
  return B().Handles().RegisterNotify(protocol, event, registration);
}

EFI_STATUS EFIAPI LocateHandle(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol, VOID *key,
                               UINTN *size, EFI_HANDLE *buffer) {
  SIM_FAULT("LocateHandle");
  return B().Handles().LocateHandle(type, protocol, key, size, buffer);
}

EFI_STATUS EFIAPI LocateDevicePath(const EFI_GUID *, EFI_DEVICE_PATH_PROTOCOL **, EFI_HANDLE *) {
  SIM_FAULT("LocateDevicePath");
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI InstallConfigurationTable(const EFI_GUID *guid, VOID *table) {
  SIM_FAULT("InstallConfigurationTable");
  return B().Tables().InstallConfigurationTable(guid, table);
}

EFI_STATUS EFIAPI OpenProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, VOID **interface,
                               EFI_HANDLE agent, EFI_HANDLE controller, UINT32 attributes) {
  SIM_FAULT("OpenProtocol");
  return B().Handles().OpenProtocol(handle, protocol, interface, agent, controller, attributes);
}

EFI_STATUS EFIAPI CloseProtocol(EFI_HANDLE handle, const EFI_GUID *protocol, EFI_HANDLE agent,
                                EFI_HANDLE controller) {
  SIM_FAULT("CloseProtocol");
  return B().Handles().CloseProtocol(handle, protocol, agent, controller);
}

EFI_STATUS EFIAPI OpenProtocolInformation(EFI_HANDLE, const EFI_GUID *,
                                          EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **, UINTN *) {
  SIM_FAULT("OpenProtocolInformation");
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI ProtocolsPerHandle(EFI_HANDLE handle, EFI_GUID ***buffer, UINTN *count) {
  SIM_FAULT("ProtocolsPerHandle");
  return B().Handles().ProtocolsPerHandle(handle, buffer, count);
}

EFI_STATUS EFIAPI LocateHandleBuffer(EFI_LOCATE_SEARCH_TYPE type, const EFI_GUID *protocol,
                                     VOID *key, UINTN *count, EFI_HANDLE **buffer) {
  SIM_FAULT("LocateHandleBuffer");
  return B().Handles().LocateHandleBuffer(type, protocol, key, count, buffer);
}

EFI_STATUS EFIAPI LocateProtocol(const EFI_GUID *protocol, VOID *registration, VOID **interface) {
  // Also counted per protocol, so a sweep can tell the lookups apart.
  SIM_FAULT("LocateProtocol", protocol ? GuidName(*protocol) : std::string());
  return B().Handles().LocateProtocol(protocol, registration, interface);
}

EFI_STATUS EFIAPI InstallMultipleProtocolInterfaces(EFI_HANDLE *, ...) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI UninstallMultipleProtocolInterfaces(EFI_HANDLE, ...) {
  return EFI_UNSUPPORTED;
}

// ---- Images, drivers, misc --------------------------------------------------

EFI_STATUS EFIAPI LoadImage(BOOLEAN, EFI_HANDLE, EFI_DEVICE_PATH_PROTOCOL *, VOID *, UINTN,
                            EFI_HANDLE *) {
  SIM_FAULT("LoadImage");
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI StartImage(EFI_HANDLE, UINTN *, CHAR16 **) {
  SIM_FAULT("StartImage");
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI Exit(EFI_HANDLE, EFI_STATUS, UINTN, CHAR16 *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI UnloadImage(EFI_HANDLE) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI GetMemoryMap(UINTN *, EFI_MEMORY_DESCRIPTOR *, UINTN *, UINTN *, UINT32 *) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI ExitBootServices(EFI_HANDLE, UINTN) {
  SIM_FAULT("ExitBootServices");
  B().ExitBootServices();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI GetNextMonotonicCount(UINT64 *count) {
  SIM_FAULT("GetNextMonotonicCount");
  if (count == nullptr)
    return EFI_INVALID_PARAMETER;
  static UINT64 counter = 0; // only ever increases, across boots too
  *count = ++counter;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI Stall(UINTN microseconds) {
  SIM_FAULT("Stall");
  B().Events().Stall(microseconds);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SetWatchdogTimer(UINTN, UINT64, UINTN, CHAR16 *) {
  SIM_FAULT("SetWatchdogTimer");
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI ConnectController(EFI_HANDLE, EFI_HANDLE *, EFI_DEVICE_PATH_PROTOCOL *, BOOLEAN) {
  SIM_FAULT("ConnectController");
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI DisconnectController(EFI_HANDLE, EFI_HANDLE, EFI_HANDLE) {
  SIM_FAULT("DisconnectController");
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI CalculateCrc32(VOID *data, UINTN size, UINT32 *crc) {
  SIM_FAULT("CalculateCrc32");
  if (data == nullptr || size == 0 || crc == nullptr)
    return EFI_INVALID_PARAMETER;
  *crc = Crc32(data, size);
  return EFI_SUCCESS;
}

VOID EFIAPI CopyMem(VOID *destination, const VOID *source, UINTN length) {
  if (length)
    std::memmove(destination, source, length);
}

VOID EFIAPI SetMem(VOID *buffer, UINTN size, UINT8 value) {
  if (size)
    std::memset(buffer, value, size);
}

// ---- Runtime services -----------------------------------------------------------

EFI_STATUS EFIAPI GetTime(EFI_TIME *time, VOID *capabilities) {
  SIM_FAULT("GetTime");
  (void)capabilities;
  if (time == nullptr)
    return EFI_INVALID_PARAMETER;
  // A fixed date plus the simulated time since power-on.
  uint64_t seconds = B().Booted() ? B().Events().Now() / 10000000 : 0;
  *time = EFI_TIME{};
  time->Year = 2026;
  time->Month = 1;
  time->Day = 1;
  time->Hour = UINT8(seconds / 3600 % 24);
  time->Minute = UINT8(seconds / 60 % 60);
  time->Second = UINT8(seconds % 60);
  time->TimeZone = 0x07FF; // EFI_UNSPECIFIED_TIMEZONE
  return EFI_SUCCESS;
}
EFI_STATUS EFIAPI SetTime(EFI_TIME *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI GetWakeupTime(BOOLEAN *, BOOLEAN *, EFI_TIME *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI SetWakeupTime(BOOLEAN, EFI_TIME *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI SetVirtualAddressMap(UINTN, UINTN, UINT32, EFI_MEMORY_DESCRIPTOR *) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI ConvertPointer(UINTN, VOID **) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI GetVariable(const CHAR16 *name, const EFI_GUID *guid, UINT32 *attributes,
                              UINTN *size, VOID *data) {
  SIM_FAULT("GetVariable", NameOf(name));
  return B().Variables().Get(name, guid, attributes, size, data);
}

EFI_STATUS EFIAPI GetNextVariableName(UINTN *size, CHAR16 *name, EFI_GUID *guid) {
  SIM_FAULT("GetNextVariableName");
  return B().Variables().GetNextName(size, name, guid);
}

EFI_STATUS EFIAPI SetVariable(const CHAR16 *name, const EFI_GUID *guid, UINT32 attributes,
                              UINTN size, const VOID *data) {
  SIM_FAULT("SetVariable", NameOf(name));
  return B().Variables().Set(name, guid, attributes, size, data);
}

EFI_STATUS EFIAPI GetNextHighMonotonicCount(UINT32 *) {
  return EFI_UNSUPPORTED;
}

VOID EFIAPI ResetSystem(EFI_RESET_TYPE type, EFI_STATUS status, UINTN dataSize, VOID *data) {
  // Reset data is optional, but a size promises that many bytes: real firmware reads them.
  if (dataSize != 0 && data == nullptr)
    throw SimulationError("ResetSystem called with a data size of " + std::to_string(dataSize) +
                          " and no reset data");
  B().RequestReset(type, status);
}

EFI_STATUS EFIAPI UpdateCapsule(VOID **, UINTN, EFI_PHYSICAL_ADDRESS) {
  return EFI_UNSUPPORTED;
}
EFI_STATUS EFIAPI QueryCapsuleCapabilities(VOID **, UINTN, UINT64 *, EFI_RESET_TYPE *) {
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI QueryVariableInfo(UINT32 attributes, UINT64 *maximum, UINT64 *remaining,
                                    UINT64 *maximumVariable) {
  SIM_FAULT("QueryVariableInfo");
  return B().Variables().QueryInfo(attributes, maximum, remaining, maximumVariable);
}

} // namespace

EFI_BOOT_SERVICES MakeBootServicesTable() {
  EFI_BOOT_SERVICES t{};
  t.RaiseTPL = RaiseTpl;
  t.RestoreTPL = RestoreTpl;
  t.AllocatePages = AllocatePages;
  t.FreePages = FreePages;
  t.GetMemoryMap = GetMemoryMap;
  t.AllocatePool = AllocatePool;
  t.FreePool = FreePool;
  t.CreateEvent = CreateEvent;
  t.SetTimer = SetTimer;
  t.WaitForEvent = WaitForEvent;
  t.SignalEvent = SignalEvent;
  t.CloseEvent = CloseEvent;
  t.CheckEvent = CheckEvent;
  t.InstallProtocolInterface = InstallProtocolInterface;
  t.ReinstallProtocolInterface = ReinstallProtocolInterface;
  t.UninstallProtocolInterface = UninstallProtocolInterface;
  t.HandleProtocol = HandleProtocol;
  t.Reserved = nullptr;
  t.RegisterProtocolNotify = RegisterProtocolNotify;
  t.LocateHandle = LocateHandle;
  t.LocateDevicePath = LocateDevicePath;
  t.InstallConfigurationTable = InstallConfigurationTable;
  t.LoadImage = LoadImage;
  t.StartImage = StartImage;
  t.Exit = Exit;
  t.UnloadImage = UnloadImage;
  t.ExitBootServices = ExitBootServices;
  t.GetNextMonotonicCount = GetNextMonotonicCount;
  t.Stall = Stall;
  t.SetWatchdogTimer = SetWatchdogTimer;
  t.ConnectController = ConnectController;
  t.DisconnectController = DisconnectController;
  t.OpenProtocol = OpenProtocol;
  t.CloseProtocol = CloseProtocol;
  t.OpenProtocolInformation = OpenProtocolInformation;
  t.ProtocolsPerHandle = ProtocolsPerHandle;
  t.LocateHandleBuffer = LocateHandleBuffer;
  t.LocateProtocol = LocateProtocol;
  t.InstallMultipleProtocolInterfaces = InstallMultipleProtocolInterfaces;
  t.UninstallMultipleProtocolInterfaces = UninstallMultipleProtocolInterfaces;
  t.CalculateCrc32 = CalculateCrc32;
  t.CopyMem = CopyMem;
  t.SetMem = SetMem;
  t.CreateEventEx = CreateEventEx;
  return t;
}

EFI_RUNTIME_SERVICES MakeRuntimeServicesTable() {
  EFI_RUNTIME_SERVICES t{};
  t.GetTime = GetTime;
  t.SetTime = SetTime;
  t.GetWakeupTime = GetWakeupTime;
  t.SetWakeupTime = SetWakeupTime;
  t.SetVirtualAddressMap = SetVirtualAddressMap;
  t.ConvertPointer = ConvertPointer;
  t.GetVariable = GetVariable;
  t.GetNextVariableName = GetNextVariableName;
  t.SetVariable = SetVariable;
  t.GetNextHighMonotonicCount = GetNextHighMonotonicCount;
  t.ResetSystem = ResetSystem;
  t.UpdateCapsule = UpdateCapsule;
  t.QueryCapsuleCapabilities = QueryCapsuleCapabilities;
  t.QueryVariableInfo = QueryVariableInfo;
  return t;
}

} // namespace sim
