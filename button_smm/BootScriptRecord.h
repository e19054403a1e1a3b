// Boot-script records of the start-up writes, in the call form the held
// interface expects.
#pragma once
#include "Framework/BootScriptSave.h"

namespace ButtonSmm {

// Each records nothing when Held is null; the status of Write is ignored.
VOID RecordIoWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width, UINT64 Port,
                   const VOID *Value);
VOID RecordIoReadWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width,
                       UINT64 Port, const VOID *Data, const VOID *DataMask);
VOID RecordPciReadWrite(EFI_BOOT_SCRIPT_SAVE_PROTOCOL *Held, EFI_BOOT_SCRIPT_WIDTH Width,
                        UINT64 Address, const VOID *Data, const VOID *DataMask);

} // namespace ButtonSmm
