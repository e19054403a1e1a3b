#!/usr/bin/env bash
# Runs every test once: the formatting check; one build under AddressSanitizer
# and UndefinedBehaviorSanitizer (warnings are errors) holds the test programs,
# platsim and the fuzz targets (bounded runs, and the fuzzing cluster's build of
# them), beside the images for the image checks and the firmware runs on OVMF
# under QEMU; clang-tidy over the driver sources; then the image sizes. The
# mutation tester runs on 3 mutants so it keeps working (scripts/mutate.sh for a
# real sample). Each step ends with a line "test.sh: STEP: N s", so a slow run
# shows where its time went.
# Usage: scripts/test.sh [CTEST ARGUMENTS...]   (for example -L fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
step() { # name command...
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "test.sh: $name: $((SECONDS - start)) s"
}
step packages scripts/deps.sh test
step format scripts/format.sh --check
step build scripts/build.sh sanitize
# The drivers and the support library: the board and platsim take about 4 more
# minutes on 2 cores (scripts/tidy.sh without --firmware-only checks them too).
step tidy scripts/tidy.sh --firmware-only build/sanitize
step ctest bash -c 'cd build/sanitize && ctest --output-on-failure -j"$(nproc)" "$@"' ctest "$@"
step image-sizes scripts/image-sizes.sh build/sanitize
# In place on the sanitizer build just tested: no second build of the tree.
step mutate scripts/mutate.sh --sample 3 --seed 18 --in-place build/sanitize
