#!/usr/bin/env bash
# Configures and builds Velloran natively.
# Usage: scripts/build.sh [--sanitize|--thread-sanitize|--clang] [extra cmake arguments...]
# The build folder is build/ (build-sanitize/ with --sanitize, build-tsan/ with
# --thread-sanitize, build-clang/ with --clang: the same build with clang).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=()
case "${1:-}" in
  --sanitize) shift; build_dir=build-sanitize; cmake_args+=(-DVELLORAN_SANITIZE=ON) ;;
  --thread-sanitize) shift; build_dir=build-tsan; cmake_args+=(-DVELLORAN_SANITIZE_THREAD=ON) ;;
  --clang) shift; build_dir=build-clang; cmake_args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
esac
# ccache, where installed, keeps rebuilds of unchanged sources cheap.
if command -v ccache >/dev/null 2>&1; then
  cmake_args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
