#!/usr/bin/env bash
# Configures and builds Velloran natively.
# Usage: scripts/build.sh [--sanitize] [extra cmake arguments...]
# The build folder is build/ (build-sanitize/ with --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build_dir=build-sanitize
  cmake_args+=(-DVELLORAN_SANITIZE=ON)
fi
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
