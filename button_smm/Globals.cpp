#include "button_smm/Globals.h"

namespace ButtonSmm {

constinit EFI_HANDLE gImageHandle = nullptr;
constinit EFI_SYSTEM_TABLE *gSystemTable = nullptr;
constinit EFI_BOOT_SERVICES *gBootServices = nullptr;
constinit EFI_RUNTIME_SERVICES *gRuntimeServices = nullptr;

constinit EFI_SMM_BASE_PROTOCOL *gSmmBase = nullptr;
constinit EFI_SMM_SYSTEM_TABLE *gSmst = nullptr;

constinit EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gEntryBootScript = nullptr;
constinit EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gSetupBootScript = nullptr;
constinit EFI_BOOT_SCRIPT_SAVE_PROTOCOL *gReferenceBootScript = nullptr;

constinit VOID *SmmCommandBufferAddress = nullptr;
constinit UINTN SmmCommandBufferSize = 0;

// Panel index 0xFF (none) and the default repeat timing until the platform
// data item is read.
constinit ButtonPlatformConfig gButtonPlatformConfig = kUnreadPlatformConfig;

VOID *SmmProtocolLookup(const EFI_GUID *Protocol) {
  if (gSmst == nullptr || gSmst->SmmServices == nullptr)
    return nullptr;
  VOID *Interface = nullptr;
  if (EFI_ERROR(gSmst->SmmServices->SmmProtocolLookup(Protocol, &Interface, nullptr)))
    return nullptr;
  return Interface;
}

} // namespace ButtonSmm
