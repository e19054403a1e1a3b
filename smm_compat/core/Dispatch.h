// The Framework dispatch protocols over PI SMM: software SMIs by value, served
// from one root SMI handler that reads the value the OS wrote to port 0xB2,
// and GPI registrations, which are recorded (no GPI SMI is raised here).
#pragma once
#include "Framework/SmmGpiDispatch.h"
#include "Framework/SmmSwDispatch.h"
#include "smm_compat/core/CompatRecord.h"

namespace SmmCompat {

// Starts with empty tables; registrations and dispatch counts are mirrored
// into Record when it is not null.
VOID InitDispatch(CompatRecord *Record);

EFI_SMM_SW_DISPATCH_PROTOCOL *SwDispatchProtocol();
EFI_SMM_GPI_DISPATCH_PROTOCOL *GpiDispatchProtocol();

// Calls every handler registered for Value, in registration order, with the
// context it was registered with. Returns how many ran.
UINTN DispatchSoftwareSmi(UINT8 Value);

} // namespace SmmCompat
