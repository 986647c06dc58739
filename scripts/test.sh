#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole suite.
# Usage: scripts/test.sh [--sanitize] [ctest arguments...]
#   --sanitize   build with -fsanitize=address,undefined in build-sanitize/
# Example: scripts/test.sh -L pty
# The suite in a virtual machine (label vm) runs only when asked for with -L:
# scripts/test-vm.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build gui

build_dir=build
build_args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build_dir=build-sanitize
  build_args+=(--sanitize)
fi
scripts/build.sh "${build_args[@]}"
export QT_QPA_PLATFORM=offscreen
labels=(-LE vm)
for argument in "$@"; do
  case "$argument" in
    -LE* | --label-exclude*) ;;
    -L* | --label-regex*) labels=() ;;
  esac
done
ctest --test-dir "$build_dir" --output-on-failure -j 2 "${labels[@]}" "$@"
