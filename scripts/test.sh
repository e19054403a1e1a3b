#!/usr/bin/env bash
# Runs every test once: one build under AddressSanitizer and
# UndefinedBehaviorSanitizer holds the test programs, platsim and the fuzz
# targets (bounded runs, and the fuzzing cluster's build of them), beside the
# images for the image checks and the firmware run on OVMF under QEMU; then
# prints the image sizes. The mutation tester runs on 3 mutants so it keeps
# working (scripts/mutate.sh for a real sample).
# Usage: scripts/test.sh [CTEST ARGUMENTS...]   (for example -L fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/build.sh sanitize
(cd build/sanitize && ctest --output-on-failure -j"$(nproc)" "$@")
scripts/image-sizes.sh build/sanitize
scripts/mutate.sh --sample 3 --seed 18
