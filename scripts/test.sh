#!/usr/bin/env bash
# Runs every test: the host build with its tests, image checks and the
# firmware run, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer with the fuzz targets' bounded runs and the
# fuzzing cluster's build; the mutation tester runs on 3 mutants so it keeps
# working (scripts/mutate.sh for a real sample).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default
(cd build/default && ctest --output-on-failure -j"$(nproc)")
scripts/image-sizes.sh build/default
scripts/mutate.sh --sample 3 --seed 18
scripts/build.sh sanitize
(cd build/sanitize && ctest --output-on-failure -j"$(nproc)" -LE firmware)
