#!/usr/bin/env bash
# Runs every test once: one build under AddressSanitizer and
# UndefinedBehaviorSanitizer holds the test programs, platsim and the fuzz
# targets (bounded runs), beside the images for the image checks and the
# firmware run on OVMF under QEMU; then prints the image sizes.
# Usage: scripts/test.sh [CTEST ARGUMENTS...]   (for example -L fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh sanitize
(cd build/sanitize && ctest --output-on-failure -j"$(nproc)" "$@")
scripts/image-sizes.sh build/sanitize
