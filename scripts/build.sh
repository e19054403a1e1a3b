#!/usr/bin/env bash
# Configures and builds one host build (with the images) in build/<kind>:
# every target, or only the targets named.
# Usage: scripts/build.sh [default|sanitize] [TARGET...]
#   default   the host build: drivers as libraries, board model, platsim, tests; the images
#   sanitize  the same with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz targets
# ccache and lld are used when installed (cmake/BuildSpeed.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-default}
shift || true
dir=build/$kind
args=(-G Ninja -DCMAKE_CXX_COMPILER=clang++)
case $kind in
default) ;;
sanitize) args+=(-DSANITIZE=ON -DBUILD_IMAGES=ON) ;;
*) echo "build: unknown build '$kind' (default, sanitize)" >&2; exit 2 ;;
esac
# Configured again only when the arguments changed: a build that is up to
# date costs ninja's check alone.
stamp=$dir/.build-args
if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$stamp" 2>/dev/null)" != "${args[*]}" ]; then
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
  echo "${args[*]}" >"$stamp"
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
