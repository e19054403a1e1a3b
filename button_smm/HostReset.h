// Host build only: puts every ButtonSmm global back to its load-time value, so
// each simulated boot starts from a freshly loaded image.
#pragma once

namespace ButtonSmm {
void ResetDriverState();
// The button table, event state, key-code queue and brightness.
void ResetButtonsState();
} // namespace ButtonSmm
