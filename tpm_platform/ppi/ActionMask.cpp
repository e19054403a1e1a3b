// The TPM actions of each operation, as six 2-bit fields in screen order:
// enable/disable, activate/deactivate, owner install true/false, clear,
// enable again, activate again.
#include "tpm_platform/ppi/PpiState.h"

namespace TpmPlatform {

namespace {
constexpr UINT16 kActionMasks[kPpiLastOperation + 1] = {
    0x000,                                    // 0: no request
    0x001,                                    // 1: enable
    0x002,                                    // 2: disable
    0x004,                                    // 3: activate
    0x008,                                    // 4: deactivate
    0x040,                                    // 5: clear
    0x005,                                    // 6: enable + activate
    0x00A,                                    // 7: deactivate + disable
    0x010,                                    // 8: owner install true
    0x020,                                    // 9: owner install false
    0x015,                                    // 10: enable + activate + owner install true
    0x02A,                                    // 11: owner install false + deactivate + disable
    0x000,                                    // 12: deferred physical presence
    0x000,                                    // 13: set operator auth
    0x045,                                    // 14: clear + enable + activate
    0x000, 0x000, 0x000, 0x000, 0x000, 0x000, // 15 to 20: flag operations
    0x045,                                    // 21: enable + activate + clear
    0x545,                                    // 22: enable + activate + clear + enable + activate
};
} // namespace

UINT16 GetPpiActionMask(UINT8 Operation) {
  return Operation <= kPpiLastOperation ? kActionMasks[Operation] : 0;
}

} // namespace TpmPlatform
