// Module state of the compatibility layer's SMM part (lives in SMRAM).
#pragma once
#include "Framework/SmmSystemTable.h"
#include "Pi/PiSmmCis.h"
#include "smm_compat/core/CompatRecord.h"
#include "smm_compat/core/SmramRanges.h"

namespace SmmCompat {

struct SmmState {
  EFI_HANDLE ImageHandle;
  EFI_SYSTEM_TABLE *SystemTable; // the UEFI table handed to loaded images
  EFI_SMM_BASE2_PROTOCOL *SmmBase2;
  EFI_SMM_SYSTEM_TABLE2 *Smst2;
  CompatRecord *Record;
  EFI_HANDLE LoaderHandle; // the loader's SMI handler while it is registered
  SmramRange Smram[kMaxSmramRanges];
  UINTN SmramCount;
};
constexpr SmmState kInitialSmmState = {};
extern SmmState gSmm;

// Builds the Framework-layout SMST over the PI one; returns it.
EFI_SMM_SYSTEM_TABLE *InitFrameworkSmst();
// Brings the SMST's processor fields up to date with the SMI being served.
VOID UpdateFrameworkSmst();

// The root SMI handler: software SMIs by the value in port 0xB2.
EFI_STATUS EFIAPI RootSmiHandler(EFI_HANDLE DispatchHandle, const VOID *Context, VOID *CommBuffer,
                                 UINTN *CommBufferSize);
// The loader's communication handler: a PE32 image into SMRAM, entry run in SMM.
EFI_STATUS EFIAPI LoaderSmiHandler(EFI_HANDLE DispatchHandle, const VOID *Context, VOID *CommBuffer,
                                   UINTN *CommBufferSize);

} // namespace SmmCompat
