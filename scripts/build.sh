#!/usr/bin/env bash
# Configures and builds one host build (with the images) in build/<name>.
# Usage: scripts/build.sh [default|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-default}
dir=build/$kind
args=(-G Ninja -DCMAKE_CXX_COMPILER=clang++)
if [ "$kind" = sanitize ]; then
  args+=(-DSANITIZE=ON -DBUILD_IMAGES=OFF)
fi
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
