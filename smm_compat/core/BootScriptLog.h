// The boot-script save protocol in both call forms, recording each write into
// the compatibility record (this platform does no S3 resume: the record is
// where the writes can be read back).
#pragma once
#include "Framework/BootScriptSave.h"
#include "smm_compat/core/CompatRecord.h"

namespace SmmCompat {

VOID InitBootScriptLog(CompatRecord *Record);

// The interface whose Write takes TableName before OpCode.
EFI_BOOT_SCRIPT_SAVE_PROTOCOL *FrameworkBootScript();
// The interface whose Write takes OpCode first (call it as EFI_S3_SAVE_STATE_WRITE).
EFI_BOOT_SCRIPT_SAVE_PROTOCOL *PiBootScript();

} // namespace SmmCompat
