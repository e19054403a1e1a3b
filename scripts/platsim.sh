#!/usr/bin/env bash
# Builds what is needed and runs platsim with the given arguments
# (default: a full boot of the built-in reference board).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default >/dev/null
if [ $# -eq 0 ]; then set -- boot; fi
exec build/default/tools/platsim/platsim "$@"
