#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the C++ sources the build
# compiles: both drivers, the support library and the platform headers, the
# board model (sim/) and the tools (tools/), using the build's
# compile_commands.json. Prints the findings; exits 1 if there is any. The
# checks, and why each is there, are listed in .clang-tidy.
# Usage: scripts/tidy.sh [--firmware-only] [BUILD_DIR]   (default build/default, configured first)
#   --firmware-only  only the drivers and the support library (the cheaper set:
#                    the board model and tools take most of the time)
# Exit codes: 0 no findings, 1 findings or clang-tidy missing, 2 usage.
set -euo pipefail
cd "$(dirname "$0")/.."
scope=all
case ${1:-} in
--firmware-only) scope=firmware; shift ;;
-h | --help) sed -n '2,11s/^# \{0,1\}//p' "$0"; exit 0 ;;
-*) echo "tidy: unknown option $1 (scripts/tidy.sh --help)" >&2; exit 2 ;;
esac
(($# <= 1)) || { echo "tidy: one build directory at most (scripts/tidy.sh --help)" >&2; exit 2; }
build=${1:-build/default}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
[ -n "$tidy" ] || { echo "tidy: clang-tidy not found (Debian package clang-tidy)" >&2; exit 1; }
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 1; }
# The sources the build compiles (the image-only backend is not in the host build).
mapfile -t files < <(python3 - "$build/compile_commands.json" "$scope" <<'PY'
import json, os, sys
root = os.getcwd()
dirs = ("support/", "tpm_platform/", "button_smm/")
if sys.argv[2] == "all":
    dirs += ("sim/", "tools/")
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
