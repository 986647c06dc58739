#!/usr/bin/env bash
# The main job: builds Velloran and shows the upgrade of the simulated printer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build gui
scripts/build.sh
echo "Velloran is built in build/bin; the simulated upgrade arrives with the simulator."
