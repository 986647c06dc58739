# Serial: three 16550 UARTs of qemu driven by the kernel's 8250 driver. The
# host connects each to a pseudo-terminal whose master side is the simulated
# printer, which answers only when the line speed that the guest's driver
# programmed into the UART reaches the host tty:
#   COM2 (/dev/ttyS1) printer at 19200 baud
#   COM3 (/dev/ttyS2) printer at 115200 baud
#   COM4 (/dev/ttyS3) printer at 19200 baud, 115200 after the boot switch
. /checks/common.sh

# ttyS2 and ttyS3 would share interrupt lines with ttyS0 and ttyS1.
velloran-vm-uart irq /dev/ttyS2 5
velloran-vm-uart irq /dev/ttyS3 7
cat /proc/tty/driver/serial | sed 's/^/vm: /'

# upgrade_at NAME PORT RATE[/RATE]
upgrade_at() {
  cli --lang zh -v upgrade --link serial --port "$2" "$image"
  found=$(grep -o '检测到波特率为[0-9]*' "$out" | sed 's/[^0-9]//g' | tr '\n' /)
  if [ "$status" -eq 0 ] && grep -q '升级完成！！！' "$out" && [ "$found" = "$3/" ]; then
    ok "$1" "(${elapsed_ms} ms, processor time $cpu s, ${cpu_share}% of the run; rates found: ${found%/})"
  else
    bad "$1" "exit $status; rates found: ${found%/} (wanted $3)"
  fi
}
upgrade_at serial-19200 COM2 19200/19200
upgrade_at serial-115200 COM3 115200/115200
upgrade_at serial-rate-change COM4 19200/115200

# The output drain on a real UART: Flush returns once the driver's queue and
# the transmitter are empty.
if velloran-vm-uart flush COM2 9600 2000 >/tmp/flush.out; then
  ok serial-flush "$(cat /tmp/flush.out)"
else
  bad serial-flush "$(cat /tmp/flush.out)"
fi

# A program that has a real UART open without a lock (as a terminal
# program does) holds the port: the upgrade is refused, the holder named.
held /dev/ttyS1 upgrade --link serial --port COM2 "$image"
if [ "$status" -eq 1 ] && grep -q "cannot be opened: it is held by .*(process $holder)" "$out"; then
  ok serial-held-elsewhere "(refused after ${elapsed_ms} ms)"
else
  bad serial-held-elsewhere "exit $status"
fi

cli ports
if [ "$status" -eq 0 ] && [ "$(grep -c '^COM[1-4] *\/dev\/ttyS[0-3] *free' "$out")" -eq 4 ]; then
  ok serial-ports "(COM1-COM4 listed)"
else
  bad serial-ports "exit $status"
fi
summary
