#!/usr/bin/env bash
# The main job: builds Velloran, puts the simulated printer on a
# pseudo-terminal as a serial printer at 19200 baud, and upgrades it through
# velloran-cli with the sample image: the baud rate is detected, the progress
# shown, and the image that arrived is compared with the file.
# Usage: scripts/demo.sh [--installed]
#   --installed  the same with the installed programs and sample image of the
#                Debian packages velloran-cli and velloran-sim, without a build
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--installed" ]; then
  cli=/usr/bin/velloran-cli
  sim=/usr/bin/velloran-sim
  image=/usr/share/velloran-sim/demo.upd
else
  scripts/install-deps.sh build gui
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build -j "$(nproc)" --target velloran-cli velloran-sim
  cli=build/bin/velloran-cli
  sim=build/bin/velloran-sim
  image=sim/sample/demo.upd
fi
work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo
echo "== The firmware image"
"$cli" info "$image"

echo
echo "== The simulated printer"
"$sim" serial --baud 19200 --wire-time --com-name COM5 --image-out "$work/flashed.bin" \
  --exit-after-finish >"$work/sim.log" 2>&1 &
sim_pid=$!
if ! device_map=$(scripts/wait-for-line.sh "$work/sim.log" 's/^environment: //p'); then
  echo "demo: the simulated printer did not start:" >&2
  cat "$work/sim.log" >&2
  exit 1
fi
sed -n '1,2p' "$work/sim.log"

echo
echo "== Upgrade over the serial link (COM5); the tool finds the printer's baud rate"
status=0
env "$device_map" "$cli" -v upgrade --link serial --port COM5 "$image" || status=$?
wait "$sim_pid" || true
sim_pid=""

echo
if [ "$status" -ne 0 ]; then
  echo "demo: the upgrade failed (exit status $status); the printer saw:" >&2
  cat "$work/sim.log" >&2
  exit "$status"
fi
# The printer must hold the image data behind the 8-byte header, then zeros
# up to a whole number of 512-byte packets.
size=$(stat -c %s "$image")
tail -c +9 "$image" >"$work/expected.bin"
truncate -s $(( (size + 511) / 512 * 512 )) "$work/expected.bin"
if cmp -s "$work/expected.bin" "$work/flashed.bin"; then
  echo "== The printer's flash holds the image: $(stat -c %s "$work/flashed.bin") bytes, as sent."
else
  echo "demo: the flashed image differs from the file" >&2
  exit 1
fi
