// Host build only: puts every ButtonSmm global back to its load-time value, so
// each simulated boot starts from a freshly loaded image.
#pragma once

namespace ButtonSmm {
void ResetDriverState();
} // namespace ButtonSmm
