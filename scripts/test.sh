#!/usr/bin/env bash
# Runs every test: the formatting check, the host build (warnings are errors)
# with clang-tidy and its tests, image checks and the firmware run, then the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer with
# the fuzz targets' bounded runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/format.sh --check
scripts/build.sh default
scripts/tidy.sh build/default
(cd build/default && ctest --output-on-failure -j"$(nproc)")
scripts/image-sizes.sh build/default
scripts/build.sh sanitize
(cd build/sanitize && ctest --output-on-failure -j"$(nproc)" -LE firmware)
