#!/bin/sh
# expect.sh STATUS PATTERN PLATSIM ARGS...: runs platsim, passes when it exits
# with STATUS and its output (stdout and stderr) has a line matching PATTERN
# (a basic regular expression, as grep reads it).
status=$1 pattern=$2
shift 2
out=$(NO_COLOR=1 "$@" 2>&1)
rc=$?
if [ "$rc" != "$status" ]; then
  printf '%s\n' "$out"
  echo "exit status $rc, expected $status"
  exit 1
fi
if ! printf '%s\n' "$out" | grep -q -e "$pattern"; then
  printf '%s\n' "$out"
  echo "no line matches: $pattern"
  exit 1
fi
