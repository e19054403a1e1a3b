// Software SMIs: the OS writes the request's value to the APM control port
// 0xB2, which raises the SMI. This platform's SMM core has no software-SMI
// dispatcher, so one root handler (it sees every SMI) reads the port and calls
// the Framework handlers registered for that value.
#include "smm_compat/core/Dispatch.h"
#include "smm_compat/smm/SmmState.h"
#include "support/Hw.h"

namespace SmmCompat {
namespace {

constexpr UINT16 kApmControlPort = 0xB2;

} // namespace

EFI_STATUS EFIAPI RootSmiHandler(EFI_HANDLE, const VOID *, VOID *, UINTN *) {
  if (gSmm.Record != nullptr)
    ++gSmm.Record->RootSmis;
  UpdateFrameworkSmst();
  // The SMM core's own SMIs (communication, variable services) write 0 here.
  UINT8 Value = PortRead8(kApmControlPort);
  if (Value == 0 || DispatchSoftwareSmi(Value) == 0)
    return EFI_WARN_INTERRUPT_SOURCE_QUIESCED;
  return EFI_SUCCESS;
}

} // namespace SmmCompat
