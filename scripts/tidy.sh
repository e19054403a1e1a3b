#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the firmware sources
# (both drivers, the support library and the platform headers), using the build's
# compile_commands.json. Prints the findings; exits 1 if there is any. The
# checks, and why each is there, are listed in .clang-tidy.
# Usage: scripts/tidy.sh [BUILD_DIR]   (default build/default, configured first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
[ -n "$tidy" ] || { echo "tidy: clang-tidy not found (Debian package clang-tidy)" >&2; exit 1; }
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 1; }
# The sources the build compiles (the image-only backend is not in the host build).
mapfile -t files < <(python3 - "$build/compile_commands.json" <<'PY'
import json, os, sys
root = os.getcwd()
dirs = ("support/", "tpm_platform/", "button_smm/")
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if path.startswith(dirs) and path not in seen:
        seen.add(path)
        print(path)
PY
)
((${#files[@]})) || { echo "tidy: no sources found in $build" >&2; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -n 4 "$tidy" -p "$build" --quiet >"$log" 2>&1 || status=1
grep -E "(warning|error):" "$log" | sort -u || true
if ((status)); then
  echo "tidy: findings in ${#files[@]} files checked" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files, no findings"
