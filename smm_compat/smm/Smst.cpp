// The Framework-layout SMST that Framework SMM drivers are given: its protocol
// services and configuration table map onto the PI SMST, and its one
// configuration entry is a runtime-services table whose variable services go
// through the PI SMM variable protocol (the UEFI runtime services must not be
// called inside SMM).
#include "Protocol/SmmVariable.h"
#include "smm_compat/smm/SmmState.h"
#include "support/Strings.h"

namespace SmmCompat {
namespace {

constexpr UINTN kConfigurationEntries = 4;

constinit EFI_SMM_SYSTEM_TABLE gSmst = {};
constinit EFI_CONFIGURATION_TABLE gConfiguration[kConfigurationEntries] = {};
constinit EFI_RUNTIME_SERVICES gSmmRuntime = {};
constinit EFI_SMM_VARIABLE_PROTOCOL *gSmmVariable = nullptr;

EFI_SMM_VARIABLE_PROTOCOL *SmmVariable() {
  if (gSmmVariable == nullptr && gSmm.Smst2 != nullptr) {
    VOID *Interface = nullptr;
    if (!EFI_ERROR(
            gSmm.Smst2->SmmLocateProtocol(&gEfiSmmVariableProtocolGuid, nullptr, &Interface)))
      gSmmVariable = static_cast<EFI_SMM_VARIABLE_PROTOCOL *>(Interface);
  }
  return gSmmVariable;
}

EFI_STATUS EFIAPI SmmGetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 *Attributes,
                                 UINTN *DataSize, VOID *Data) {
  EFI_SMM_VARIABLE_PROTOCOL *Variable = SmmVariable();
  if (Variable == nullptr)
    return EFI_NOT_READY;
  return Variable->SmmGetVariable(Name, Guid, Attributes, DataSize, Data);
}

EFI_STATUS EFIAPI SmmGetNextVariableName(UINTN *NameSize, CHAR16 *Name, EFI_GUID *Guid) {
  EFI_SMM_VARIABLE_PROTOCOL *Variable = SmmVariable();
  if (Variable == nullptr)
    return EFI_NOT_READY;
  return Variable->SmmGetNextVariableName(NameSize, Name, Guid);
}

EFI_STATUS EFIAPI SmmSetVariable(const CHAR16 *Name, const EFI_GUID *Guid, UINT32 Attributes,
                                 UINTN DataSize, const VOID *Data) {
  EFI_SMM_VARIABLE_PROTOCOL *Variable = SmmVariable();
  if (Variable == nullptr)
    return EFI_NOT_READY;
  return Variable->SmmSetVariable(Name, Guid, Attributes, DataSize, Data);
}

EFI_STATUS EFIAPI Unsupported() {
  return EFI_UNSUPPORTED;
}
template <typename F> F UnsupportedAs() {
  return reinterpret_cast<F>(&Unsupported);
}

EFI_STATUS EFIAPI InstallProtocol(const EFI_GUID *Protocol, VOID *Interface, VOID *) {
  EFI_HANDLE Handle = nullptr;
  return gSmm.Smst2->SmmInstallProtocolInterface(&Handle, Protocol, EFI_NATIVE_INTERFACE,
                                                 Interface);
}

EFI_STATUS EFIAPI ProtocolLookup(const EFI_GUID *Protocol, VOID **Interface, VOID *Registration) {
  if (Interface == nullptr)
    return EFI_INVALID_PARAMETER;
  *Interface = nullptr;
  EFI_STATUS Status = gSmm.Smst2->SmmLocateProtocol(Protocol, Registration, Interface);
  if (EFI_ERROR(Status))
    *Interface = nullptr;
  return Status;
}

constexpr SMM_PROTOCOL_SERVICES kServices = {InstallProtocol, ProtocolLookup};

EFI_STATUS EFIAPI InstallConfigurationTable(EFI_SMM_SYSTEM_TABLE *, const EFI_GUID *Guid,
                                            VOID *Table, UINTN) {
  if (Guid == nullptr)
    return EFI_INVALID_PARAMETER;
  for (UINTN i = 0; i < gSmst.NumberOfTableEntries; ++i) {
    if (CompareBytes(&gConfiguration[i].VendorGuid, Guid, sizeof(EFI_GUID)) == 0) {
      gConfiguration[i].VendorTable = Table;
      return EFI_SUCCESS;
    }
  }
  if (gSmst.NumberOfTableEntries == kConfigurationEntries)
    return EFI_OUT_OF_RESOURCES;
  gConfiguration[gSmst.NumberOfTableEntries].VendorGuid = *Guid;
  gConfiguration[gSmst.NumberOfTableEntries].VendorTable = Table;
  ++gSmst.NumberOfTableEntries;
  return EFI_SUCCESS;
}

} // namespace

EFI_SMM_SYSTEM_TABLE *InitFrameworkSmst() {
  gSmmRuntime.Hdr.Signature = 0x56524553544E5552ull; // "RUNTSERV"
  gSmmRuntime.Hdr.HeaderSize = sizeof(gSmmRuntime);
  gSmmRuntime.GetTime = UnsupportedAs<EFI_GET_TIME>();
  gSmmRuntime.SetTime = UnsupportedAs<EFI_SET_TIME>();
  gSmmRuntime.GetWakeupTime = UnsupportedAs<EFI_GET_WAKEUP_TIME>();
  gSmmRuntime.SetWakeupTime = UnsupportedAs<EFI_SET_WAKEUP_TIME>();
  gSmmRuntime.SetVirtualAddressMap = UnsupportedAs<EFI_SET_VIRTUAL_ADDRESS_MAP>();
  gSmmRuntime.ConvertPointer = UnsupportedAs<EFI_CONVERT_POINTER>();
  gSmmRuntime.GetVariable = SmmGetVariable;
  gSmmRuntime.GetNextVariableName = SmmGetNextVariableName;
  gSmmRuntime.SetVariable = SmmSetVariable;
  gSmmRuntime.GetNextHighMonotonicCount = UnsupportedAs<EFI_GET_NEXT_HIGH_MONO_COUNT>();
  gSmmRuntime.ResetSystem = UnsupportedAs<EFI_RESET_SYSTEM>();
  gSmmRuntime.UpdateCapsule = UnsupportedAs<EFI_UPDATE_CAPSULE>();
  gSmmRuntime.QueryCapsuleCapabilities = UnsupportedAs<EFI_QUERY_CAPSULE_CAPABILITIES>();
  gSmmRuntime.QueryVariableInfo = UnsupportedAs<EFI_QUERY_VARIABLE_INFO>();

  gSmst.Hdr.Signature = SMM_SMST_SIGNATURE;
  gSmst.Hdr.Revision = 0x00010000;
  gSmst.Hdr.HeaderSize = sizeof(gSmst);
  gSmst.SmmServices = &kServices;
  gSmst.SmmInstallConfigurationTable = InstallConfigurationTable;
  gSmst.SmmConfigurationTable = gConfiguration;
  gSmst.NumberOfTableEntries = 0;
  InstallConfigurationTable(&gSmst, &gSmmRuntimeServicesTableGuid, &gSmmRuntime,
                            sizeof(gSmmRuntime));
  UpdateFrameworkSmst();
  return &gSmst;
}

VOID UpdateFrameworkSmst() {
  if (gSmm.Smst2 == nullptr)
    return;
  gSmst.CurrentlyExecutingCpu = gSmm.Smst2->CurrentlyExecutingCpu;
  gSmst.NumberOfCpus = gSmm.Smst2->NumberOfCpus;
}

} // namespace SmmCompat
