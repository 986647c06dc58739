#!/usr/bin/env bash
# Builds the test machine's initramfs from installed Debian packages alone:
# the kernel modules of linux-image-amd64, busybox-static, and the project's
# own programs with the shared libraries they load.
# Usage: make-initramfs.sh BUILD_DIR OUTPUT
# Prints the kernel image to boot. The archive is rebuilt only when one of its
# inputs is newer, and its files carry fixed times, so that equal inputs give
# an equal archive.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
output=$2

# The newest installed kernel that has its modules.
kernel_version=""
for version in $(ls /boot | sed -n 's/^vmlinuz-//p' | sort -V); do
  [ -d "/lib/modules/$version" ] && kernel_version=$version
done
if [ -z "$kernel_version" ]; then
  echo "make-initramfs: no kernel in /boot with modules in /lib/modules (install linux-image-amd64)" >&2
  exit 1
fi
kernel=/boot/vmlinuz-$kernel_version
modules=(usb-common usbcore udc-core configfs libcomposite dummy_hcd usb_f_printer usblp parport parport_pc lp)
programs=("$build/bin/velloran-cli" "$build/bin/velloran-vm-gadget-printer" "$build/bin/velloran-vm-uart")
busybox=$(command -v busybox || true)
[ -n "$busybox" ] || { echo "make-initramfs: busybox is missing (install busybox-static)" >&2; exit 1; }
if ldd "$busybox" >/dev/null 2>&1; then
  echo "make-initramfs: $busybox is not static (install busybox-static)" >&2
  exit 1
fi

inputs=("$kernel" "$busybox" "${programs[@]}" "$build/bin/libcorvalink.so" "$source_dir/sim/sample/demo.upd"
        "$here/make-initramfs.sh" "$here"/guest/*)
if [ -f "$output" ]; then
  stale=0
  for input in "${inputs[@]}"; do
    [ "$input" -nt "$output" ] && stale=1
  done
  if [ "$stale" -eq 0 ]; then
    echo "$kernel"
    exit 0
  fi
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,etc,checks,velloran/bin,velloran/lib,velloran/modules,lib64,proc,sys,dev,tmp}
cp "$busybox" "$root/bin/busybox"
cp "$here/guest/init" "$root/init"
cp "$here"/guest/*.sh "$root/checks/"
cp "${programs[@]}" "$root/velloran/bin/"
cp "$source_dir/sim/sample/demo.upd" "$root/velloran/"
# The groups of a Debian system that own device nodes, so that the tool can
# name the group of a node.
printf 'root:x:0:\nlp:x:7:\ndialout:x:20:\n' >"$root/etc/group"
for module in "${modules[@]}"; do
  file=$(modinfo -k "$kernel_version" -F filename "$module")
  case "$file" in
    *.ko.xz) xz -dc "$file" >"$root/velloran/modules/$module.ko" ;;
    *.ko.zst) zstd -dcq "$file" >"$root/velloran/modules/$module.ko" ;;
    *.ko.gz) gzip -dc "$file" >"$root/velloran/modules/$module.ko" ;;
    *) cp "$file" "$root/velloran/modules/$module.ko" ;;
  esac
done
# The shared libraries the programs load, and the dynamic loader.
for library in $(ldd "${programs[@]}" | awk '/=> \// { print $3; next } /^[ \t]+\// { print $1 }' | sort -u); do
  cp -L "$library" "$root/velloran/lib/"
done
loader=$(ldd "$build/bin/velloran-cli" | awk '/ld-linux/ { print $1 }')
cp -L "$loader" "$root/lib64/$(basename "$loader")"

find "$root" -exec touch -h -d @0 {} +
(cd "$root" && find . -print0 | LC_ALL=C sort -z | cpio --null --create --format=newc --quiet --reproducible) |
  gzip -n -1 >"$output.part"
mv "$output.part" "$output"
echo "$kernel"
