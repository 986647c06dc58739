# Parallel port: qemu's ISA parallel port through parport_pc and lp as
# /dev/lp0. The host keeps every byte that leaves the port and compares them
# with the frames afterwards.
. /checks/common.sh

load parport parport_pc lp
wait_for /dev/lp0 20 || bad lpt-node "no /dev/lp0"
ls -l /dev/lp0
cat /proc/sys/dev/parport/parport0/modes 2>/dev/null | sed 's/^/vm: parport0 modes /'

# lp has no poll method, so the tool's waits must not spin: the processor
# time over the run is measured and bounded.
cli --lang zh -v upgrade --link lpt "$image"
if [ "$status" -eq 0 ] && grep -q '升级完成！！！' "$out" && [ "$cpu_share" -lt 25 ]; then
  ok lpt-upgrade "(${elapsed_ms} ms; processor time $cpu s, ${cpu_share}% of the run)"
else
  bad lpt-upgrade "exit $status; processor time $cpu s, ${cpu_share}% of the run"
fi

# Held by another program: lp itself allows one opener.
held /dev/lp0 upgrade --link lpt "$image"
# The tool names the holder (by its process id) and sends root to no group:
# devtmpfs leaves the node to root, not to lp.
if [ "$status" -eq 1 ] && grep -q "cannot be opened: it is held by .*(process $holder)" "$out" &&
  ! grep -q usermod "$out"; then
  ok lpt-held-elsewhere "(refused after ${elapsed_ms} ms)"
else
  bad lpt-held-elsewhere "exit $status"
fi

cli ports
if [ "$status" -eq 0 ] && grep -q '^LPT1 *\/dev\/lp0 *free' "$out"; then
  ok lpt-ports "(LPT1 listed on /dev/lp0)"
else
  bad lpt-ports "exit $status"
fi
summary
