#!/usr/bin/env bash
# Takes the pictures of the dialog shown in the README: docs/dialog.png (as
# it opens) and docs/dialog-upgrading.png (sending an image to the simulated
# serial printer). Runs the dialog on a virtual X server (Xvfb).
# Usage: scripts/screenshot-dialog.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build gui screenshots
build_dir=${1:-build}
cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" -j 2 --target velloran-dialog-screenshot velloran-sim

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The simulated printer on a pseudo-terminal, named COM7, at 9600 baud with
# the wire's own pace so that the sending phase lasts long enough to be seen.
port=COM7
"$build_dir/bin/velloran-sim" serial --baud 9600 --wire-time --com-name "$port" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  grep -q '^environment:' "$work/sim.log" && break
  sleep 0.1
done
mapping=$(sed -n 's/^environment: VELLORAN_DEVICE_MAP=//p' "$work/sim.log")
if [ -z "$mapping" ]; then
  echo "screenshot-dialog: the simulated printer did not start:" >&2
  cat "$work/sim.log" >&2
  exit 1
fi

# The picture shows the image's path: a short, neutral one.
mkdir -p docs /tmp/firmware
cp sim/sample/demo.upd /tmp/firmware/demo.upd
VELLORAN_DEVICE_MAP="$mapping" xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  "$build_dir/bin/velloran-dialog-screenshot" /tmp/firmware/demo.upd "$port" \
  docs/dialog.png docs/dialog-upgrading.png
