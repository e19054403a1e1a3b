// The Framework SMM core of the board: the SMM base protocol, the SMM system
// table with its configuration table and protocol services, and the software-
// SMI and GPI dispatch protocols. Dispatch runs one SMI at a time; a processor
// halt inside a handler ends the SMI (and the boot) after the core noted it.
#pragma once
#include "Framework/SmmBase.h"
#include "Framework/SmmGpiDispatch.h"
#include "Framework/SmmSwDispatch.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

class AccessTrace;
class FaultInjector;

struct SmiRegistration {
  enum class Kind { Software, Gpi } Type;
  uint64_t Value; // SwSmiInputValue or GpiNum
  VOID *Function;
  EFI_HANDLE Handle;
  std::string Context; // what ran when it was registered
};

class SmmCore {
public:
  struct Options {
    // Publish the SMM runtime-services table in the SMST configuration table.
    bool PublishSmmRuntimeServices = true;
  };

  SmmCore(FaultInjector &faults, AccessTrace &trace, const EFI_RUNTIME_SERVICES &runtime,
          Options options);
  ~SmmCore();
  SmmCore(const SmmCore &) = delete;
  SmmCore &operator=(const SmmCore &) = delete;

  EFI_SMM_BASE_PROTOCOL *Base() { return &base_.Protocol; }
  EFI_SMM_SW_DISPATCH_PROTOCOL *SwDispatch() { return &sw_.Protocol; }
  EFI_SMM_GPI_DISPATCH_PROTOCOL *GpiDispatch() { return &gpi_.Protocol; }
  EFI_SMM_SYSTEM_TABLE *Smst() { return &smst_; }
  EFI_RUNTIME_SERVICES *SmmRuntimeServices() { return &smmRuntime_; }

  // Loads the image a device path names into SMRAM: the board runs its entry
  // point again, inside SMM. Set by the owner; returns the entry's status.
  std::function<EFI_STATUS(const EFI_DEVICE_PATH_PROTOCOL *path, EFI_HANDLE *smmImage)> Load;
  // Runs code inside SMM (InSmm reports TRUE meanwhile).
  void RunInSmm(const std::string &context, const std::function<void()> &body);
  bool InSmm() const { return depth_ > 0; }

  const std::vector<SmiRegistration> &Registrations() const { return registrations_; }
  // Runs the handlers registered for the value, in registration order.
  // Returns how many ran.
  size_t DispatchSoftware(uint8_t value);
  size_t DispatchGpi(unsigned gpi);
  // Called after every SMI, also one that ended in a halt.
  std::function<void()> AfterSmi;
  unsigned SmiCount() const { return smiCount_; }
  const std::string &HaltContext() const { return haltContext_; }

  // The SMM protocol database (SmmProtocolLookup through the SMST).
  void InstallSmmProtocol(const EFI_GUID &guid, VOID *interface);
  VOID *FindSmmProtocol(const EFI_GUID &guid) const;

private:
  template <class P> struct Wrapped {
    P Protocol;
    SmmCore *Owner;
  };
  size_t Dispatch(SmiRegistration::Kind kind, uint64_t value, const std::string &context);

  static EFI_STATUS EFIAPI Register(EFI_SMM_BASE_PROTOCOL *This, EFI_DEVICE_PATH_PROTOCOL *FilePath,
                                    VOID *SourceBuffer, UINTN SourceSize, EFI_HANDLE *ImageHandle,
                                    BOOLEAN LegacyIA32Binary);
  static EFI_STATUS EFIAPI InSmmService(EFI_SMM_BASE_PROTOCOL *This, BOOLEAN *InSmm);
  static EFI_STATUS EFIAPI GetSmstLocation(EFI_SMM_BASE_PROTOCOL *This,
                                           EFI_SMM_SYSTEM_TABLE **Smst);
  static EFI_STATUS EFIAPI SwRegister(EFI_SMM_SW_DISPATCH_PROTOCOL *This,
                                      EFI_SMM_SW_DISPATCH Function,
                                      EFI_SMM_SW_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle);
  static EFI_STATUS EFIAPI GpiRegister(EFI_SMM_GPI_DISPATCH_PROTOCOL *This,
                                       EFI_SMM_GPI_DISPATCH Function,
                                       EFI_SMM_GPI_DISPATCH_CONTEXT *Context, EFI_HANDLE *Handle);
  static EFI_STATUS EFIAPI SmmInstallProtocol(const EFI_GUID *Protocol, VOID *Interface,
                                              VOID *Reserved);
  static EFI_STATUS EFIAPI SmmProtocolLookup(const EFI_GUID *Protocol, VOID **Interface,
                                             VOID *Registration);
  static EFI_STATUS EFIAPI SmmGetVariable(const CHAR16 *Name, const EFI_GUID *Guid,
                                          UINT32 *Attributes, UINTN *DataSize, VOID *Data);

  FaultInjector &faults_;
  AccessTrace &trace_;
  Options options_;
  Wrapped<EFI_SMM_BASE_PROTOCOL> base_;
  Wrapped<EFI_SMM_SW_DISPATCH_PROTOCOL> sw_;
  Wrapped<EFI_SMM_GPI_DISPATCH_PROTOCOL> gpi_;
  SMM_PROTOCOL_SERVICES services_;
  EFI_SMM_SYSTEM_TABLE smst_{};
  EFI_RUNTIME_SERVICES smmRuntime_;
  EFI_GET_VARIABLE boardGetVariable_;
  std::vector<EFI_CONFIGURATION_TABLE> smmConfiguration_;
  std::vector<SmiRegistration> registrations_;
  std::vector<std::pair<EFI_GUID, VOID *>> smmProtocols_;
  std::vector<std::string> context_;
  unsigned depth_ = 0;
  unsigned smiCount_ = 0;
  uint64_t nextHandle_ = 1;
  std::string haltContext_;
  // Services reached through the SMST carry no This pointer.
  static SmmCore *current_;
};

} // namespace sim
