// The SMM story, in the order the application plays it after boot.
#pragma once
#include "smm_compat/core/CompatRecord.h"

namespace SmmStory {

// The compatibility layer's record; null when the layer did not run.
extern SmmCompat::CompatRecord *gRecord;

// ButtonSmm was loaded into SMRAM by the compatibility driver, registered its
// handlers and recorded its start-up writes; the loader is closed.
VOID LoadStory();
// The loaded image lies inside SMRAM and SMRAM is closed to the OS.
VOID SmramStory();
// The OS's software SMIs answered from SMRAM.
VOID OsSmiStory();

} // namespace SmmStory
