#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole suite.
# Usage: scripts/test.sh [--sanitize|--thread-sanitize] [ctest arguments...]
#   --sanitize          build with -fsanitize=address,undefined in build-sanitize/
#   --thread-sanitize   build with -fsanitize=thread in build-tsan/; a report
#                       fails its test (tests/thread_sanitizer.supp names the
#                       orderings inside Qt that it cannot see)
# Example: scripts/test.sh -L pty
# The suite in a virtual machine (label vm) runs only when asked for with -L:
# scripts/test-vm.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build gui

build_dir=build
build_args=()
case "${1:-}" in
  --sanitize) shift; build_dir=build-sanitize; build_args+=(--sanitize) ;;
  --thread-sanitize) shift; build_dir=build-tsan; build_args+=(--thread-sanitize) ;;
esac
scripts/build.sh "${build_args[@]}"
export QT_QPA_PLATFORM=offscreen
# The vm label stays out unless -L names labels; an exclusion of the
# caller's own is widened to leave vm out as well.
labels_named=0
exclude=""
arguments=()
while [ $# -gt 0 ]; do
  case "$1" in
    -LE | --label-exclude) exclude=$2; shift 2; continue ;;
    -L* | --label-regex*) labels_named=1 ;;
  esac
  arguments+=("$1")
  shift
done
[ "$labels_named" -eq 1 ] || exclude="vm${exclude:+|$exclude}"
[ -z "$exclude" ] || arguments+=(-LE "$exclude")
ctest --test-dir "$build_dir" --output-on-failure -j 2 ${arguments[@]+"${arguments[@]}"}
