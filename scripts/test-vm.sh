#!/usr/bin/env bash
# The suite on the kernel's own drivers (usblp, lp on parport_pc, 8250) in
# virtual machines under qemu's software emulation: installs what it needs,
# builds, and runs the tests labelled vm. Further arguments go to ctest.
# Example: scripts/test-vm.sh -R vm_usb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build gui vm
scripts/build.sh
start=$(date +%s)
ctest --test-dir build --output-on-failure -j 2 -L vm "$@"
echo "test-vm: the vm suite took $(( $(date +%s) - start )) s"
