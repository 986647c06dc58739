#!/usr/bin/env bash
# The Ansible collection velloran.printer with Debian's ansible-core: its
# event reading (unit tests), a build with ansible-galaxy, and the rollout
# playbook over several local machines with simulated printers (the build's
# velloran-cli and velloran-sim).
# Usage: scripts/test-ansible.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build gui ansible
scripts/build.sh >/dev/null
# ansible-core's own Python, whatever python3 comes first on PATH.
python=$(sed -n '1s/^#! *//p' "$(command -v ansible-playbook)")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
LC_ALL=C.UTF-8 ansible-galaxy collection build --output-path "$work" ansible/ansible_collections/velloran/printer >/dev/null
version=$(sed -n 's/^version: //p' ansible/ansible_collections/velloran/printer/galaxy.yml)
tar -tzf "$work/velloran-printer-$version.tar.gz" plugins/modules/firmware.py >/dev/null
echo "ansible-galaxy collection build: velloran-printer-$version.tar.gz"

"$python" -m unittest discover -v -s tests/ansible -p 'test_*.py'
