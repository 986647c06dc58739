#!/usr/bin/env bash
# Installs the Debian packages that Velloran needs, only when some are missing.
# Usage: scripts/install-deps.sh [build] [gui] [windows] [screenshots] [vm] [packages] [ansible]
#   build        compilers (g++ and clang), CMake, Ninja, ccache, GoogleTest, CLI11,
#                nlohmann-json, jsonschema for the JSON output's test (always included)
#   gui          Qt 6 Widgets and a CJK font for the dialog
#   windows      the mingw-w64 cross compilers, Wine, and NSIS for the installer
#   screenshots  Xvfb and ImageMagick, for pictures of the dialog
#   vm           qemu, a Debian kernel with its modules, busybox and cpio, for
#                the suite on the kernel's own printer and serial drivers
#   packages     what the Debian packages are made and checked with
#   ansible      Debian's ansible-core, for the collection velloran.printer
set -euo pipefail

packages=(g++ clang cmake ninja-build ccache pkg-config libgtest-dev libgmock-dev python3
          libcli11-dev nlohmann-json3-dev python3-jsonschema)
for group in "$@"; do
  case "$group" in
    build) ;;
    gui) packages+=(qt6-base-dev libgl-dev fonts-wqy-microhei) ;;
    windows) packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 zip nsis) ;;
    screenshots) packages+=(xvfb xauth imagemagick) ;;
    vm) packages+=(qemu-system-x86 linux-image-amd64 busybox-static cpio kmod) ;;
    packages) packages+=(dpkg-dev lintian help2man imagemagick bash-completion pkg-config) ;;
    ansible) packages+=(ansible-core) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# With their recommended packages: Wine needs its fonts to lay out dialogs.
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
