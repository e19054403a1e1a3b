// Host build only: puts every global of TpmPlatformDxe back to its load-time
// value, so each simulated boot starts from a freshly loaded image.
#pragma once

namespace TpmPlatform {

void ResetDriverState();

// One per subsystem; ResetDriverState calls them all.
void ResetCoreState();
void ResetPpiState();
void ResetMeasureState();
void ResetAcpiState();

} // namespace TpmPlatform
