#include "button_smm/HostReset.h"
#include "button_smm/Globals.h"

namespace ButtonSmm {

void ResetDriverState() {
  gImageHandle = nullptr;
  gSystemTable = nullptr;
  gBootServices = nullptr;
  gRuntimeServices = nullptr;
  gSmmBase = nullptr;
  gSmst = nullptr;
  gEntryBootScript = nullptr;
  gSetupBootScript = nullptr;
  gReferenceBootScript = nullptr;
  SmmCommandBufferAddress = nullptr;
  SmmCommandBufferSize = 0;
  gButtonPlatformConfig = kUnreadPlatformConfig;
  ResetButtonsState();
}

} // namespace ButtonSmm
