// The boot-services and runtime-services tables the drivers call. Every slot
// routes to the current board (Board::Current()); slots the board does not
// implement return EFI_UNSUPPORTED, none is a null pointer. Each faultable
// service consults the board's fault injector under its table name.
#pragma once
#include "Uefi/UefiSpec.h"

namespace sim {

EFI_BOOT_SERVICES MakeBootServicesTable();
EFI_RUNTIME_SERVICES MakeRuntimeServicesTable();

} // namespace sim
