#!/usr/bin/env bash
# The Windows build, checked on Linux:
#   1. cross-builds Velloran with mingw-w64 for x86_64 (build-win64) and i686
#      (build-win32, built but not run: Wine here runs 64-bit programs only);
#   2. checks with objdump that Corvalink.dll exports its twenty functions by
#      name with ordinals 1-20 (no stdcall decoration on i686), ReadCom and
#      CloseCom at the addresses of ReadUsb and CloseUsb, and that
#      Velloran.exe imports ordinals 1-4 and 6-8 of it by ordinal only;
#   3. runs the Windows test programs under Wine (ctest -L windows), the
#      dialog ones on a virtual X display, and starts Velloran.exe until its
#      dialog "Velloran-V4.0" shows (picture: build-win64/dialog-windows.png);
#   4. upgrades the native simulated serial printer on a pseudo-terminal with
#      velloran-cli.exe under Wine, through a COM port of a fresh Wine prefix,
#      and compares the flashed image with the file; then two such printers
#      at once with one command (a worker process each).
# Usage: scripts/test-windows.sh [--no-install]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" != "--no-install" ]; then
  scripts/install-deps.sh build windows screenshots
fi

step() { printf '\n== %s\n' "$*"; }
fail() { echo "test-windows: $*" >&2; exit 1; }
# Wine's drive Z: is the Linux root.
windows_path() { local path=$1; printf 'Z:%s' "${path//\//\\}"; }

step "cross-building for x86_64 (build-win64) and i686 (build-win32)"
cmake -S . -B build-win64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win64 -j2
cmake -S . -B build-win32 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build build-win32 -j2
cmake --build build-win64 --target dist
cmake --build build-win32 --target dist
for zip in build-win64/Velloran-*-win64.zip build-win32/Velloran-*-win32.zip; do
  listed=$(cmake -E tar tf "$zip" | sed 's#^[^/]*/##' | grep -v '^$' | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "Corvalink.dll Velloran.exe velloran-cli.exe " ] || fail "$zip holds: $listed"
done

step "exports of Corvalink.dll and imports of Velloran.exe"
expected_exports="1 OpenUsb
2 WriteUsb
3 ReadUsb
4 CloseUsb
5 OpenLptW
6 OpenLptA
7 WriteLpt
8 CloseLpt
9 OpenComW
10 OpenComA
11 ReadCom
12 WriteCom
13 CloseCom
14 InitNetSev
15 ConnectNetPort
16 WriteToNetPort
17 ReadFromNetPort
18 CloseNetPor
19 CloseNetServ
20 SendInstruction"
check_binaries() {  # <build dir> <objdump>
  local bin=$1/bin objdump=$2 base exports imports named
  base=$("$objdump" -p "$bin/Corvalink.dll" | awk '/^Ordinal Base/ && !seen {print $3; seen = 1}')
  [ "$base" = 1 ] || fail "$bin/Corvalink.dll: ordinal base $base, not 1"
  # "[index] name" rows; the ordinal is the base plus the index.
  exports=$("$objdump" -p "$bin/Corvalink.dll" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' |
    awk -v base="$base" '{print $1 + base, $2}' | sort -n)
  [ "$exports" = "$expected_exports" ] ||
    fail "$bin/Corvalink.dll exports differ:"$'\n'"$(diff <(echo "$expected_exports") <(echo "$exports"))"
  # ReadCom (11) and CloseCom (13) are ReadUsb (3) and CloseUsb (4) exported
  # again: the same address; the other sixteen each have their own.
  local addresses
  addresses=$("$objdump" -p "$bin/Corvalink.dll" |
    sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] +base\[ *\([0-9]*\)\] \([0-9a-f]*\) Export RVA$/\1 \2/p')
  rva() { echo "$addresses" | awk -v ordinal="$1" '$1 == ordinal {print $2}'; }
  [ -n "$(rva 3)" ] && [ "$(rva 11)" = "$(rva 3)" ] && [ "$(rva 13)" = "$(rva 4)" ] ||
    fail "$bin/Corvalink.dll: ReadCom/CloseCom are not ReadUsb/CloseUsb:"$'\n'"$addresses"
  [ "$(echo "$addresses" | awk '{print $2}' | sort -u | wc -l)" = 18 ] ||
    fail "$bin/Corvalink.dll: not eighteen routines behind the twenty exports:"$'\n'"$addresses"
  for program in Velloran.exe velloran-cli.exe; do
    imports=$("$objdump" -p "$bin/$program" | sed -n '/DLL Name: Corvalink.dll/,/^$/p' | tail -n +3)
    [ -n "$imports" ] || fail "$bin/$program does not import Corvalink.dll"
    # Rows of an ordinal import read "<thunk> <ordinal> <none>"; a named one
    # carries a name instead.
    named=$(echo "$imports" | awk 'NF && !/<none>/')
    if [ -n "$named" ]; then
      fail "$bin/$program imports Corvalink.dll by name:"$'\n'"$imports"
    fi
    if [ "$program" = Velloran.exe ]; then
      local ordinals
      ordinals=$(echo "$imports" | awk 'NF {print $2 + 0}' | sort -n | tr '\n' ' ')
      [ "$ordinals" = "1 2 3 4 6 7 8 " ] || fail "$bin/$program imports ordinals $ordinals, not 1-4 and 6-8"
    fi
  done
  echo "$bin: Corvalink.dll exports the twenty names as ordinals 1-20; Velloran.exe and velloran-cli.exe import by ordinal only"
}
check_binaries build-win64 x86_64-w64-mingw32-objdump
check_binaries build-win32 i686-w64-mingw32-objdump

step "Windows test programs under Wine"
# Create the tests' Wine prefix once, before two tests would race to set it up.
scripts/wine-run.sh --init
xvfb-run -a ctest --test-dir build-win64 -L windows -j2 --output-on-failure

step "Velloran.exe opens its dialog under Wine"
scripts/screenshot-windows.sh build-win64/dialog-windows.png

step "serial upgrade under Wine against the simulated printer"
[ -x build/bin/velloran-sim ] || scripts/build.sh >/dev/null
cmake --build build --target velloran-sim >/dev/null
work=$(mktemp -d)
sim_pid=""
cleanup() {
  # shellcheck disable=SC2086 # one or more process ids
  [ -n "$sim_pid" ] && kill $sim_pid 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export VELLORAN_WINEPREFIX=$work/prefix
scripts/wine-run.sh --init
[ -d "$VELLORAN_WINEPREFIX/dosdevices" ] || fail "the Wine prefix was not created"

image=sim/sample/demo.upd
build/bin/velloran-sim serial --baud 19200 --image-out "$work/flashed.bin" --exit-after-finish \
  >"$work/sim.log" 2>&1 &
sim_pid=$!
listening='s/^listening: serial printer on \([^ ]*\) .*/\1/p'
node=$(scripts/wait-for-line.sh "$work/sim.log" "$listening") ||
  fail "the simulator did not start: $(cat "$work/sim.log")"
ln -sf "$node" "$VELLORAN_WINEPREFIX/dosdevices/com7"
echo "COM7 of the Wine prefix is $node"

cp "$image" "$work/image.upd"
if ! timeout 300 scripts/wine-run.sh build-win64/bin/velloran-cli.exe upgrade --link serial --port COM7 \
     "$(windows_path "$work/image.upd")"; then
  cat "$work/sim.log" >&2
  fail "velloran-cli.exe upgrade failed"
fi
wait "$sim_pid" || fail "the simulator ended with an error: $(cat "$work/sim.log")"
sim_pid=""

# The printer flashes the file's bytes after its 8-byte header; the last
# packet is padded with zeros.
size=$(stat -c %s "$image")
cmp <(tail -c +9 "$image") <(head -c $((size - 8)) "$work/flashed.bin") ||
  fail "the flashed image differs from $image"
[ "$(tail -c +$((size - 7)) "$work/flashed.bin" | tr -d '\0' | wc -c)" = 0 ] ||
  fail "the flashed image has more than zeros after the file's data"
echo "flashed image equals $image"

step "two serial printers at once under Wine (one worker process each)"
pids=()
for n in 7 8; do
  build/bin/velloran-sim serial --baud $((n == 7 ? 19200 : 9600)) --image-out "$work/flashed$n.bin" \
    --exit-after-finish >"$work/sim$n.log" 2>&1 &
  pids+=($!)
done
sim_pid="${pids[*]}"
for n in 7 8; do
  node=$(scripts/wait-for-line.sh "$work/sim$n.log" "$listening") ||
    fail "simulator $n did not start: $(cat "$work/sim$n.log")"
  ln -sf "$node" "$VELLORAN_WINEPREFIX/dosdevices/com$n"
done
if ! timeout 300 scripts/wine-run.sh build-win64/bin/velloran-cli.exe upgrade --link serial --port COM7 \
     --port COM8 --json "$(windows_path "$work/image.upd")" >"$work/fleet.json"; then
  cat "$work/fleet.json" "$work"/sim?.log >&2
  fail "velloran-cli.exe upgrade of two printers failed"
fi
for pid in "${pids[@]}"; do wait "$pid" || fail "a simulator ended with an error"; done
sim_pid=""
tail -n 1 "$work/fleet.json" | grep -q '"event":"fleet_result","phase":"finish","id":"fleet_completed"' ||
  fail "the last event is no completed fleet_result: $(tail -n 1 "$work/fleet.json")"
for n in 7 8; do
  cmp <(tail -c +9 "$image") <(head -c $((size - 8)) "$work/flashed$n.bin") ||
    fail "the image flashed on COM$n differs from $image"
done
echo "both printers flashed $image at once"

step "Windows checks passed"
