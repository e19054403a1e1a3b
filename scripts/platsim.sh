#!/usr/bin/env bash
# Builds what platsim needs and runs it with the given arguments (default: a
# full boot of the built-in reference board). Installs only the packages of
# the build; `platsim firmware` also those of the firmware run.
set -euo pipefail
cd "$(dirname "$0")/.."
groups=(platsim)
if [ "${1:-}" = firmware ]; then groups+=(firmware); fi
scripts/deps.sh "${groups[@]}"
if [ ! -x build/default/tools/platsim/platsim ]; then
  echo "platsim: first run, building platsim and the driver images (about a minute on 2 cores)" >&2
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! scripts/build.sh default platsim images >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi
rm -f "$log"
trap - EXIT
if [ $# -eq 0 ]; then set -- boot; fi
exec build/default/tools/platsim/platsim "$@"
