#!/usr/bin/env bash
# The Debian packages, checked on this machine (as root; CI runs it):
#   1. builds them from the full build and has lintian check them
#      (scripts/build-packages.sh: no error, no warning);
#   2. installs all six with apt-get;
#   3. runs the installed velloran-cli --version and velloran --version,
#      finds the man pages, completes an option with the bash completion,
#      upgrades the simulated serial printer with the installed programs and
#      sample image (scripts/demo.sh --installed), and builds and runs a
#      program against libcorvalink-dev (pkg-config) that opens the simulated
#      USB printer; has ansible-doc render the module of the installed
#      collection velloran.printer;
#   4. removes the packages again and checks that their files are gone.
# Usage: scripts/test-packages.sh [--no-install]
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n== %s\n' "$*"; }
fail() { echo "test-packages: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "installs packages: run as root"

step "building the packages"
scripts/build-packages.sh "$@"
packages=(velloran velloran-cli velloran-sim libcorvalink1 libcorvalink-dev velloran-ansible)
version=$(dpkg-parsechangelog -l packaging/linux/changelog -S Version)

# Another apt or dpkg may hold the lock for a while.
apt_get() {
  for _ in $(seq 30); do
    if DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=60 -y -qq "$@"; then return 0; fi
    sleep 5
  done
  return 1
}

work=$(mktemp -d)
sim_pid=""
installed=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
  if [ -n "$installed" ]; then apt_get purge "${packages[@]}" >/dev/null || true; fi
}
trap cleanup EXIT

step "installing ${packages[*]}"
debs=()
for package in "${packages[@]}"; do debs+=("$PWD"/build/packages/"${package}_${version}"_*.deb); done
installed=yes
apt_get install --no-install-recommends "${debs[@]}" >/dev/null
for package in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${Status} ${Version}' "$package")" = "install ok installed $version" ] ||
    fail "$package $version is not installed"
done

step "the installed programs"
for program in velloran-cli velloran velloran-sim; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not in /usr/bin"
  answer=$(env -u DISPLAY "/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$answer" = "$program $version" ] || fail "$program --version says '$answer', not '$program $version'"
  echo "$answer"
  if [ -e "/usr/share/man/man1/$program.1.gz" ]; then
    man -w "$program" >/dev/null || fail "man does not find the page of $program"
  elif grep -rqs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d; then
    echo "(dpkg is set to leave man pages out)"
  else
    fail "no man page for $program"
  fi
done
libraries=$(ldd /usr/bin/velloran-cli)
grep -Eq 'libcorvalink.so.1 => (/usr)?/lib/' <<<"$libraries" ||
  fail "velloran-cli does not load the installed libcorvalink.so.1: $libraries"
completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/velloran-cli
  COMP_WORDS=(velloran-cli upgrade --li); COMP_CWORD=2
  COMP_LINE="velloran-cli upgrade --li"; COMP_POINT=${#COMP_LINE}
  _velloran_cli velloran-cli --li upgrade
  echo "${COMPREPLY[*]}"')
[ "$completed" = "--link" ] || fail "the bash completion offers '$completed' for --li"
echo "bash completion: velloran-cli upgrade --li -> $completed"

step "upgrading the simulated serial printer with the installed files"
scripts/demo.sh --installed

step "a program built against libcorvalink-dev opens the simulated USB printer"
cat >"$work/open_usb.cpp" <<'CPP'
#include <corvalink.h>
#include <cstdio>

int main() {
  HANDLE port = OpenUsb();
  if (port == INVALID_HANDLE_VALUE) {
    std::puts("no USB printer");
    return 1;
  }
  CloseUsb(port);
  std::puts("opened the USB printer");
  return 0;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++20 -Wall -Wextra -o "$work/open_usb" "$work/open_usb.cpp" $(pkg-config --cflags --libs corvalink)
/usr/bin/velloran-sim usb >"$work/sim.log" 2>&1 &
sim_pid=$!
environment=$(scripts/wait-for-line.sh "$work/sim.log" 's/^environment: //p') ||
  fail "the simulated USB printer did not start: $(cat "$work/sim.log")"
# shellcheck disable=SC2086
env $environment "$work/open_usb" || fail "the program did not open the simulated USB printer"
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""

step "ansible-doc renders the module of the installed collection"
# From a folder without an ansible.cfg, with Ansible's default collection
# paths, under the UTF-8 locale that ansible-core requires.
doc=$(cd "$work" && env -u ANSIBLE_COLLECTIONS_PATH -u ANSIBLE_CONFIG LC_ALL=C.UTF-8 ansible-doc velloran.printer.firmware) ||
  fail "ansible-doc does not find velloran.printer.firmware"
grep -q '^> VELLORAN.PRINTER.FIRMWARE *(/usr/share/ansible/collections/ansible_collections/velloran/printer/' \
  <<<"$doc" || fail "ansible-doc shows another velloran.printer.firmware: $(head -n 1 <<<"$doc")"
grep -q '^= image' <<<"$doc" || fail "ansible-doc shows no option image: $doc"
head -n 1 <<<"$doc"

step "removing the packages"
apt_get purge "${packages[@]}" >/dev/null
installed=""
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok'; then fail "$package is still installed"; fi
done
for file in /usr/bin/velloran /usr/bin/velloran-cli /usr/bin/velloran-sim /usr/lib/*/libcorvalink.so.1 \
            /usr/include/corvalink /lib/udev/rules.d/70-velloran.rules \
            /usr/share/ansible/collections/ansible_collections/velloran; do
  [ ! -e "$file" ] || fail "$file is left after removal"
done
echo "removed; no file left"

step "package checks passed"
