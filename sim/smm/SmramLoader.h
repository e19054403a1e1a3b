// Loading a driver "into SMRAM": the SMM base protocol's Register names the
// image by its device's path followed by its file path; only an image the
// board started can be loaded, and its entry point runs again inside SMM.
#pragma once
#include "Uefi/UefiSpec.h"

namespace sim {

class Board;
class SmmCore;

// Returns the entry's status, EFI_NOT_FOUND for a path of no started image.
EFI_STATUS LoadIntoSmram(Board &board, SmmCore &core, const EFI_DEVICE_PATH_PROTOCOL *path,
                         EFI_HANDLE *smmImage);

} // namespace sim
