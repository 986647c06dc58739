#!/usr/bin/env bash
# Waits up to ten seconds for a line of a growing log (the simulator's, as it
# starts) that a sed expression prints, and prints what it printed; fails
# when none comes.
# Usage: scripts/wait-for-line.sh LOG SED_EXPRESSION
#   scripts/wait-for-line.sh sim.log 's/^environment: //p'
set -euo pipefail
log=$1 expression=$2
for _ in $(seq 100); do
  # The log may not exist yet: the program that writes it is starting.
  found=$(sed -n "$expression" "$log" 2>/dev/null | head -n 1 || true)
  if [ -n "$found" ]; then
    echo "$found"
    exit 0
  fi
  sleep 0.1
done
exit 1
