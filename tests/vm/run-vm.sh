#!/usr/bin/env bash
# Boots the test machine (qemu, software emulation) for one group of checks
# and returns their result: 0 when every check inside and on the host passed.
# Usage: run-vm.sh usb|lpt|serial|fleet BUILD_DIR
#   usb     printer gadgets on dummy USB controllers, seen through usblp
#   lpt     qemu's ISA parallel port through parport_pc and lp
#   serial  qemu's 16550 UARTs through the 8250 driver, to simulated printers
#           on host pseudo-terminals
#   fleet   four printer gadgets and the three UARTs upgraded at once
# VELLORAN_VM_KEEP=1 keeps the work folder (console log, captured bytes);
# VELLORAN_VM_APPEND adds kernel arguments (loglevel=7 shows the kernel log).
# VELLORAN_VM_TIMEOUT bounds the run in seconds (default 300).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
group=$1
build=$(cd "$2" && pwd)
image=$source_dir/sim/sample/demo.upd

vm_dir=$build/vm
mkdir -p "$vm_dir"
# Groups run in parallel share one archive: one builder at a time.
kernel=$(flock "$vm_dir/initramfs.lock" "$here/make-initramfs.sh" "$build" "$vm_dir/initramfs.cpio.gz")

work=$(mktemp -d "$vm_dir/$group.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ "${VELLORAN_VM_KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

host_failed=0
host_ok() { echo "host-check $1: ok${2:+ $2}"; }
host_bad() { echo "host-check $1: FAILED $2"; host_failed=1; }

# start_sim NAME ARGS...: a simulated serial printer; sets $pts to its node.
start_sim() {
  local name=$1
  shift
  "$build/bin/velloran-sim" serial "$@" --image-out "$work/$name.flash" >"$work/$name.log" 2>&1 &
  pids+=($!)
  pts=$("$source_dir/scripts/wait-for-line.sh" "$work/$name.log" 's/^listening: serial printer on \([^ ]*\) .*/\1/p') &&
    return 0
  echo "run-vm: the simulated printer $name did not start" >&2
  cat "$work/$name.log" >&2
  exit 1
}

devices=()
case "$group" in
  usb) ;;
  lpt)
    devices+=(-chardev "file,id=lpt,path=$work/lpt.bin" -device isa-parallel,chardev=lpt,index=0)
    ;;
  serial | fleet)
    start_sim com2 --baud 19200
    devices+=(-chardev "serial,id=com2,path=$pts" -device isa-serial,chardev=com2,index=1)
    start_sim com3 --baud 115200
    devices+=(-chardev "serial,id=com3,path=$pts" -device isa-serial,chardev=com3,iobase=0x3e8,irq=5)
    start_sim com4 --baud 19200 --baud-after-boot 115200
    devices+=(-chardev "serial,id=com4,path=$pts" -device isa-serial,chardev=com4,iobase=0x2e8,irq=7)
    ;;
  *) echo "run-vm: unknown group '$group' (usb, lpt, serial or fleet)" >&2; exit 2 ;;
esac

echo "run-vm: booting $kernel for the $group checks (work folder $work)"
start=$(date +%s)
set +e
timeout "${VELLORAN_VM_TIMEOUT:-300}" qemu-system-x86_64 -accel tcg -m 512 -smp 1 -nodefaults -no-reboot \
  -display none -monitor none \
  -kernel "$kernel" -initrd "$vm_dir/initramfs.cpio.gz" \
  -append "console=ttyS0,115200 quiet panic=-1 velloran.group=$group ${VELLORAN_VM_APPEND:-}" \
  -chardev "file,id=console,path=$work/console.log" -device isa-serial,chardev=console,index=0 \
  "${devices[@]}"
qemu_status=$?
set -e
echo "run-vm: the machine ran $(( $(date +%s) - start )) s (qemu exit $qemu_status)"
tr -d '\r' <"$work/console.log" >"$work/console.txt"
grep -v '^\[' "$work/console.txt" || true

# What the host side saw.
case "$group" in
  lpt)
    if python3 "$here/check_lpt_stream.py" "$image" "$work/lpt.bin" >"$work/lpt.check"; then
      host_ok lpt-bytes "$(cat "$work/lpt.check")"
    else
      host_bad lpt-bytes "$(cat "$work/lpt.check")"
    fi
    ;;
  serial | fleet)
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
    tail -c +9 "$image" >"$work/expected.bin"
    size=$(stat -c %s "$work/expected.bin")
    for name in com2 com3 com4; do
      sed "s/^/    $name | /" "$work/$name.log" | grep -v ': DATA 512 bytes' || true
      if [ -f "$work/$name.flash" ] && cmp -s -n "$size" "$work/expected.bin" "$work/$name.flash"; then
        host_ok "$name-flash" "(the printer stored the image)"
      else
        host_bad "$name-flash" "the printer's flash differs from the image"
      fi
    done
    ;;
esac

summary=$(grep '^vm-summary:' "$work/console.txt" || true)
if [ -z "$summary" ]; then
  echo "run-vm: the checks did not finish (qemu exit $qemu_status)" >&2
  exit 1
fi
case "$summary" in
  *" 0 failed") ;;
  *) exit 1 ;;
esac
[ "$host_failed" -eq 0 ]
