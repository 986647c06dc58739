# Helpers for the checks inside the test machine. Each check prints one
# result line that the host reads:
#   vm-check NAME: ok [figures]
#   vm-check NAME: FAILED why
# and the group ends with "vm-summary: P ok, F failed".
passed=0
failed=0
image=/velloran/demo.upd

ok() { passed=$((passed + 1)); echo "vm-check $1: ok${2:+ $2}"; }
bad() { failed=$((failed + 1)); echo "vm-check $1: FAILED $2"; }
summary() { echo "vm-summary: $passed ok, $failed failed"; [ "$failed" -eq 0 ]; }

# Loads kernel modules from the flat module folder, in the order given.
load() {
  for m in "$@"; do
    insmod "/velloran/modules/$m.ko" ${MODARGS:-} || echo "vm: insmod $m failed"
  done
}

# Milliseconds since boot.
now_ms() { awk '{ printf "%d\n", $1 * 1000 }' /proc/uptime; }

# Waits up to $2 seconds for the path $1 to exist.
wait_for() {
  i=0
  while [ ! -e "$1" ]; do
    i=$((i + 1))
    [ "$i" -gt $(($2 * 10)) ] && return 1
    usleep 100000
  done
}

# Runs velloran-cli with its output in $out (a file), its exit status in
# $status, its duration in $elapsed_ms, and the processor time it used in
# $cpu (seconds) and $cpu_share (percent of the run).
out=/tmp/cli.out
cli() {
  t0=$(now_ms)
  time -p -o /tmp/time.out velloran-cli "$@" >"$out" 2>&1
  status=$?
  elapsed_ms=$(($(now_ms) - t0))
  sed 's/^/    | /' "$out"
  cpu=$(awk '/^user/ { u = $2 } /^sys/ { s = $2 } END { printf "%.2f", u + s }' /tmp/time.out)
  cpu_share=$(awk '/^real/ { r = $2 } /^user/ { u = $2 } /^sys/ { s = $2 }
    END { if (r > 0) printf "%d", (u + s) * 100 / r; else print 100 }' /tmp/time.out)
}

# held NODE ARGS...: runs velloran-cli ARGS while another process holds
# NODE open (the drivers allow one opener).
held() {
  node=$1
  shift
  sleep 30 3<>"$node" &
  holder=$!
  usleep 200000
  cli "$@"
  kill "$holder"
  wait "$holder" 2>/dev/null
}

# The printer's flash must hold the image behind its 8-byte header (the
# short last packet is padded with zeros).
flash_matches() {
  size=$(($(wc -c <"$image") - 8))
  tail -c +9 "$image" >/tmp/expected.bin
  head -c "$size" "$1" >/tmp/flashed.head
  cmp -s /tmp/expected.bin /tmp/flashed.head
}
