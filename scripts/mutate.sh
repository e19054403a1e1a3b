#!/usr/bin/env bash
# Mutation testing of the driver code: scripts/mutate.sh --sample N --seed S (see --help).
# Works in a scratch copy of the tree under build/mutate, never in the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 tools/mutate/mutate.py "$@"
