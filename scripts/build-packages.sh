#!/usr/bin/env bash
# Builds Velloran's Debian packages from the full native build (build/):
# one package per install component of cmake/Packaging.cmake, made with
# dpkg-deb into build/packages/, with the binaries stripped, the copyright
# and changelog of packaging/linux/ in each, and the dependencies on system
# libraries found by dpkg-shlibdeps. The packaging is Velloran's own, so the
# packages are native ones: their version is the project's, without a Debian
# revision. Then checks them with lintian, which
# must report no error and no warning.
# Usage: scripts/build-packages.sh [--no-install]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" != "--no-install" ]; then
  scripts/install-deps.sh build gui packages
fi
fail() { echo "build-packages: $*" >&2; exit 1; }

# The packages hold the dialog, its icons and the man pages: the whole build.
scripts/build.sh >/dev/null

changelog=packaging/linux/changelog
version=$(dpkg-parsechangelog -l "$changelog" -S Version)
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[ "$version" = "$project_version" ] ||
  fail "$changelog is at $version, the project at $project_version: add a changelog entry"
galaxy=ansible/ansible_collections/velloran/printer/galaxy.yml
[ "$(sed -n 's/^version: //p' "$galaxy")" = "$version" ] || fail "$galaxy is not at the project's version $version"
arch=$(dpkg --print-architecture)
maintainer=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' "$changelog" | head -n 1)

# Package, its component, section, dependencies besides the libraries it
# links, and its description (summary line, then the long text).
packages=(velloran-cli velloran velloran-sim libcorvalink1 libcorvalink-dev velloran-ansible)
declare -A component=([velloran-cli]=cli [velloran]=dialog [velloran-sim]=sim
                      [libcorvalink1]=library [libcorvalink-dev]=development [velloran-ansible]=ansible)
declare -A section=([velloran-cli]=utils [velloran]=utils [velloran-sim]=utils
                    [libcorvalink1]=libs [libcorvalink-dev]=libdevel [velloran-ansible]=admin)
declare -A depends=([velloran]="velloran-cli (= $version)" [libcorvalink-dev]="libcorvalink1 (= $version)"
                    [velloran-ansible]="ansible-core (>= 2.14)")
# The collection is the same on every architecture.
declare -A architecture=([velloran-ansible]=all)
declare -A description=(
  [velloran-cli]="printer firmware upgrade through the boot loader, command line
 velloran-cli replaces the firmware of receipt and label printers through
 their boot loader, over USB, a serial port (finding the printer's baud rate
 itself) or the parallel port. It lists the ports, shows what an image
 holds, and reports each step as text or as JSON lines for scripts.
 .
 The package also holds the udev rule that lets the user at the seat open
 the supported USB printers."
  [velloran]="printer firmware upgrade through the boot loader, dialog
 Velloran is a dialog for service technicians: pick the link (USB, a serial
 port or LPT1), open a firmware image (.upd) and press Load. A coloured bar
 follows the erase, the packets and the printer's acknowledgement."
  [velloran-sim]="simulated printer boot loader for Velloran
 velloran-sim puts a printer's boot loader on a pseudo-terminal, as a
 serial, USB or parallel-port printer, for trying Velloran without a
 printer. It can inject faults and writes out the image it received. A
 sample firmware image is included."
  [libcorvalink1]="Corvalink printer transport library
 Corvalink makes a byte pipe of a USB printer, a parallel port, a serial
 port or a TCP connection to a network printer, and sends short printer
 commands over any of them. Velloran upgrades printers through it."
  [libcorvalink-dev]="Corvalink printer transport library, development files
 Corvalink makes a byte pipe of a USB printer, a parallel port, a serial
 port or a TCP connection to a network printer. This package holds the C++
 header, the pkg-config file and the link to the shared library."
  [velloran-ansible]="Ansible collection velloran.printer: printer firmware on many machines
 The module velloran.printer.firmware runs velloran-cli on each managed
 machine, upgrades the printers attached to it and returns each printer's
 result; in check mode it checks the image and the ports without sending
 anything to a printer. An example playbook rolls an image out in waves.
 .
 The managed machines need the velloran-cli package.")

out=build/packages
rm -rf "$out"
mkdir -p "$out/debian"
# dpkg-shlibdeps reads debian/control and finds the library of
# libcorvalink1 through debian/libcorvalink1/DEBIAN/shlibs, as in a Debian
# source package.
{
  echo "Source: velloran"
  for package in "${packages[@]}"; do printf '\nPackage: %s\nArchitecture: any\n' "$package"; done
} >"$out/debian/control"

elf_files() {  # <tree>: the ELF files in it, outside DEBIAN
  find "$1" -path "$1/DEBIAN" -prune -o -type f -print |
    while read -r file; do
      if [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ]; then echo "$file"; fi
    done
}

stage() {  # <package>: installs its component into debian/<package>
  local package=$1 tree=$out/debian/$1 file
  DESTDIR=$root/$tree cmake --install build --component "${component[$package]}" --prefix /usr --strip >/dev/null
  # What Debian's own packages leave out as well: compiler notes.
  for file in $(elf_files "$tree"); do strip --remove-section=.comment --remove-section=.note "$file"; done
  local doc=$tree/usr/share/doc/$package
  install -d -m 755 "$doc" "$tree/DEBIAN"
  install -m 644 packaging/linux/copyright "$doc/copyright"
  gzip -9n <"$changelog" >"$doc/changelog.gz"
  chmod 644 "$doc/changelog.gz"
}

control() {  # <package>: writes DEBIAN/control and DEBIAN/md5sums
  local package=$1 tree=$out/debian/$1 elves shlib_depends="" all_depends size
  elves=$(elf_files "$tree")
  if [ -n "$elves" ]; then
    # shellcheck disable=SC2086
    shlib_depends=$(cd "$out" && dpkg-shlibdeps -O ${elves//$out\//} | sed -n 's/^shlibs:Depends=//p')
  fi
  all_depends=$(printf '%s\n' "$shlib_depends" "${depends[$package]:-}" | sed '/^$/d' | paste -sd, | sed 's/,/, /g')
  size=$(du -sk --exclude=DEBIAN "$tree" | cut -f1)
  {
    echo "Package: $package"
    echo "Source: velloran"
    echo "Version: $version"
    echo "Architecture: ${architecture[$package]:-$arch}"
    echo "Maintainer: $maintainer"
    echo "Installed-Size: $size"
    [ -n "$all_depends" ] && echo "Depends: $all_depends"
    case $package in libcorvalink*) echo "Multi-Arch: same" ;; esac
    echo "Section: ${section[$package]}"
    echo "Priority: optional"
    echo "Description: ${description[$package]}"
  } >"$tree/DEBIAN/control"
  (cd "$tree" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) \
    >"$tree/DEBIAN/md5sums"
  chmod 644 "$tree/DEBIAN/control" "$tree/DEBIAN/md5sums"
}

for package in "${packages[@]}"; do
  stage "$package"
done
# The library's users depend on this package from this release on; dpkg
# runs ldconfig through the trigger.
soname=$(cd "$out/debian/libcorvalink1" && find . -name 'libcorvalink.so.*' -type l -printf '%f\n' | head -n 1)
[ "$soname" = libcorvalink.so.1 ] || fail "the library's SONAME link is '$soname', not libcorvalink.so.1"
echo "libcorvalink 1 libcorvalink1 (>= $version)" >"$out/debian/libcorvalink1/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$out/debian/libcorvalink1/DEBIAN/triggers"
chmod 644 "$out/debian/libcorvalink1/DEBIAN/"{shlibs,triggers}
for package in "${packages[@]}"; do
  control "$package"
  dpkg-deb --root-owner-group -Zxz --build "$out/debian/$package" \
    "$out/${package}_${version}_${architecture[$package]:-$arch}.deb" >/dev/null
done
ls -1 "$out"/*.deb

echo "lintian:"
if ! lintian --fail-on error,warning --tag-display-limit 0 "$out"/*.deb; then
  fail "lintian found errors or warnings"
fi
echo "lintian: no error, no warning"
