#include "button_smm/Globals.h"

namespace ButtonSmm {

constinit ButtonSmmState gButtonSmm = kButtonSmmInitialState;

VOID *SmmProtocolLookup(const EFI_GUID *Protocol) {
  if (gSmst == nullptr || gSmst->SmmServices == nullptr)
    return nullptr;
  VOID *Interface = nullptr;
  if (EFI_ERROR(gSmst->SmmServices->SmmProtocolLookup(Protocol, &Interface, nullptr)))
    return nullptr;
  return Interface;
}

} // namespace ButtonSmm
