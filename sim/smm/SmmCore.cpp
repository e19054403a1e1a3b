#include "sim/smm/SmmCore.h"
#include "sim/core/Errors.h"
#include "sim/core/Faults.h"
#include "sim/core/Text.h"
#include "sim/io/AccessTrace.h"

#include <cstdio>

namespace sim {

SmmCore *SmmCore::current_ = nullptr;

SmmCore::SmmCore(FaultInjector &faults, AccessTrace &trace, const EFI_RUNTIME_SERVICES &runtime,
                 Options options)
    : faults_(faults), trace_(trace), options_(options), smmRuntime_(runtime),
      boardGetVariable_(runtime.GetVariable) {
  base_ = {{Register, nullptr, nullptr, nullptr, InSmmService, nullptr, nullptr, GetSmstLocation},
           this};
  sw_ = {{SwRegister, nullptr, 0xFF}, this};
  gpi_ = {{GpiRegister, nullptr, 16}, this};
  services_ = {SmmInstallProtocol, SmmProtocolLookup};
  // Inside SMM the variable service goes through a table of its own, so the
  // board can tell which table a driver used.
  smmRuntime_.GetVariable = SmmGetVariable;
  smst_.Hdr.Signature = SMM_SMST_SIGNATURE;
  smst_.Hdr.HeaderSize = sizeof(EFI_TABLE_HEADER);
  smst_.SmmServices = &services_;
  smst_.NumberOfCpus = 1;
  if (options_.PublishSmmRuntimeServices)
    smmConfiguration_.push_back({gSmmRuntimeServicesTableGuid, &smmRuntime_});
  smst_.NumberOfTableEntries = smmConfiguration_.size();
  smst_.SmmConfigurationTable = smmConfiguration_.empty() ? nullptr : smmConfiguration_.data();
  current_ = this;
}

SmmCore::~SmmCore() {
  if (current_ == this)
    current_ = nullptr;
}

void SmmCore::RunInSmm(const std::string &context, const std::function<void()> &body) {
  AccessTrace::Scope scope(trace_, context);
  context_.push_back(context);
  ++depth_;
  try {
    body();
  } catch (...) {
    --depth_;
    context_.pop_back();
    throw;
  }
  --depth_;
  context_.pop_back();
}

EFI_STATUS EFIAPI SmmCore::Register(EFI_SMM_BASE_PROTOCOL *This, EFI_DEVICE_PATH_PROTOCOL *FilePath,
                                    VOID *SourceBuffer, UINTN SourceSize, EFI_HANDLE *ImageHandle,
                                    BOOLEAN LegacyIA32Binary) {
  auto *self = reinterpret_cast<Wrapped<EFI_SMM_BASE_PROTOCOL> *>(This)->Owner;
  if (auto injected = self->faults_.Check("SmmBase.Register"))
    return *injected;
  if (FilePath == nullptr || SourceBuffer != nullptr || SourceSize != 0 || LegacyIA32Binary ||
      ImageHandle == nullptr)
    return EFI_INVALID_PARAMETER;
  if (!self->Load)
    return EFI_UNSUPPORTED;
  return self->Load(FilePath, ImageHandle);
}

EFI_STATUS EFIAPI SmmCore::InSmmService(EFI_SMM_BASE_PROTOCOL *This, BOOLEAN *InSmm) {
  auto *self = reinterpret_cast<Wrapped<EFI_SMM_BASE_PROTOCOL> *>(This)->Owner;
  if (auto injected = self->faults_.Check("SmmBase.InSmm"))
    return *injected;
  if (InSmm == nullptr)
    return EFI_INVALID_PARAMETER;
  *InSmm = self->InSmm() ? TRUE : FALSE;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::GetSmstLocation(EFI_SMM_BASE_PROTOCOL *This,
                                           EFI_SMM_SYSTEM_TABLE **Smst) {
  auto *self = reinterpret_cast<Wrapped<EFI_SMM_BASE_PROTOCOL> *>(This)->Owner;
  if (auto injected = self->faults_.Check("SmmBase.GetSmstLocation"))
    return *injected;
  if (Smst == nullptr)
    return EFI_INVALID_PARAMETER;
  // The SMST is only reachable from inside SMM.
  if (!self->InSmm())
    return EFI_UNSUPPORTED;
  *Smst = &self->smst_;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::SwRegister(EFI_SMM_SW_DISPATCH_PROTOCOL *This,
                                      EFI_SMM_SW_DISPATCH Function,
                                      EFI_SMM_SW_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle) {
  auto *self = reinterpret_cast<Wrapped<EFI_SMM_SW_DISPATCH_PROTOCOL> *>(This)->Owner;
  if (auto injected = self->faults_.Check("SwDispatch.Register"))
    return *injected;
  if (Function == nullptr || Context == nullptr || Handle == nullptr ||
      Context->SwSmiInputValue > This->MaximumSwiValue)
    return EFI_INVALID_PARAMETER;
  for (auto &r : self->registrations_)
    if (r.Type == SmiRegistration::Kind::Software && r.Value == Context->SwSmiInputValue)
      return EFI_INVALID_PARAMETER; // one handler per software SMI value
  *Handle = reinterpret_cast<EFI_HANDLE>(self->nextHandle_++);
  self->registrations_.push_back({SmiRegistration::Kind::Software, Context->SwSmiInputValue,
                                  reinterpret_cast<VOID *>(Function), *Handle,
                                  self->trace_.Context()});
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::GpiRegister(EFI_SMM_GPI_DISPATCH_PROTOCOL *This,
                                       EFI_SMM_GPI_DISPATCH Function,
                                       EFI_SMM_GPI_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle) {
  auto *self = reinterpret_cast<Wrapped<EFI_SMM_GPI_DISPATCH_PROTOCOL> *>(This)->Owner;
  if (auto injected = self->faults_.Check("GpiDispatch.Register"))
    return *injected;
  if (Function == nullptr || Context == nullptr || Handle == nullptr ||
      Context->GpiNum >= This->NumSupportedGpis)
    return EFI_INVALID_PARAMETER;
  *Handle = reinterpret_cast<EFI_HANDLE>(self->nextHandle_++);
  self->registrations_.push_back({SmiRegistration::Kind::Gpi, Context->GpiNum,
                                  reinterpret_cast<VOID *>(Function), *Handle,
                                  self->trace_.Context()});
  return EFI_SUCCESS;
}

size_t SmmCore::Dispatch(SmiRegistration::Kind kind, uint64_t value, const std::string &context) {
  ++smiCount_;
  size_t ran = 0;
  try {
    RunInSmm(context, [&] {
      // Handlers registered while dispatching wait for the next SMI.
      std::vector<SmiRegistration> handlers = registrations_;
      for (const SmiRegistration &r : handlers) {
        if (r.Type != kind || r.Value != value)
          continue;
        ++ran;
        if (kind == SmiRegistration::Kind::Software) {
          EFI_SMM_SW_DISPATCH_CONTEXT swContext = {UINTN(value)};
          reinterpret_cast<EFI_SMM_SW_DISPATCH>(r.Function)(r.Handle, &swContext);
        } else {
          EFI_SMM_GPI_DISPATCH_CONTEXT gpiContext = {UINTN(value)};
          reinterpret_cast<EFI_SMM_GPI_DISPATCH>(r.Function)(r.Handle, &gpiContext);
        }
      }
    });
  } catch (const ProcessorHalted &) {
    haltContext_ = context;
    if (AfterSmi)
      AfterSmi();
    throw;
  }
  if (AfterSmi)
    AfterSmi();
  return ran;
}

size_t SmmCore::DispatchSoftware(uint8_t value) {
  return Dispatch(SmiRegistration::Kind::Software, value, Printf("smi:0x%02X", value));
}

size_t SmmCore::DispatchGpi(unsigned gpi) {
  return Dispatch(SmiRegistration::Kind::Gpi, gpi, "smi:gpi" + std::to_string(gpi));
}

void SmmCore::InstallSmmProtocol(const EFI_GUID &guid, VOID *interface) {
  for (auto &[g, i] : smmProtocols_)
    if (g == guid) {
      i = interface;
      return;
    }
  smmProtocols_.emplace_back(guid, interface);
}

VOID *SmmCore::FindSmmProtocol(const EFI_GUID &guid) const {
  for (auto &[g, i] : smmProtocols_)
    if (g == guid)
      return i;
  return nullptr;
}

EFI_STATUS EFIAPI SmmCore::SmmInstallProtocol(const EFI_GUID *Protocol, VOID *Interface, VOID *) {
  if (current_ == nullptr || Protocol == nullptr || Interface == nullptr)
    return EFI_INVALID_PARAMETER;
  current_->InstallSmmProtocol(*Protocol, Interface);
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::SmmProtocolLookup(const EFI_GUID *Protocol, VOID **Interface, VOID *) {
  if (Interface == nullptr)
    return EFI_INVALID_PARAMETER;
  *Interface = nullptr;
  if (current_ == nullptr || Protocol == nullptr)
    return EFI_INVALID_PARAMETER;
  if (auto injected = current_->faults_.Check("SmmProtocolLookup"))
    return *injected;
  *Interface = current_->FindSmmProtocol(*Protocol);
  return *Interface != nullptr ? EFI_SUCCESS : EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI SmmCore::SmmGetVariable(const CHAR16 *Name, const EFI_GUID *Guid,
                                          UINT32 *Attributes, UINTN *DataSize, VOID *Data) {
  if (current_ == nullptr)
    return EFI_NOT_READY;
  // Counted under its own key: tests see which table a driver used.
  if (auto injected = current_->faults_.Check("SmmRuntime.GetVariable"))
    return *injected;
  return current_->boardGetVariable_(Name, Guid, Attributes, DataSize, Data);
}

} // namespace sim
