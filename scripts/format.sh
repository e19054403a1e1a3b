#!/usr/bin/env bash
# Formats every C++ source of the project (tracked or new, build folders excluded) with the
# repository's .clang-format.
# Usage: scripts/format.sh          format in place
#        scripts/format.sh --check  list the files that need formatting; exit 1 if any
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format || command -v clang-format-14 || true)
[ -n "$format" ] || { echo "format: clang-format not found (Debian package clang-format)" >&2; exit 1; }
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
((${#files[@]})) || exit 0
if [ "${1:-}" = "--check" ]; then
  status=0
  for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    if ! "$format" --dry-run -Werror "$f" >/dev/null 2>&1; then
      echo "$f"
      status=1
    fi
  done
  exit $status
fi
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
"$format" -i "${existing[@]}"
