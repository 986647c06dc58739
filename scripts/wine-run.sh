#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in the project's own Wine prefix
# (VELLORAN_WINEPREFIX, default: a folder under /tmp per user), so that tests
# never touch the user's ~/.wine. Used as CMake's cross-compiling emulator.
# Usage: scripts/wine-run.sh PROGRAM.exe [ARGS...] | --init | --wait
#   --init  makes the prefix ready and gives it the look of wine-look.reg
#   --wait  waits until the prefix's programs have all ended (an uninstaller
#           goes on running from a copy of itself after it returns)
set -euo pipefail
export WINEPREFIX="${VELLORAN_WINEPREFIX:-${TMPDIR:-/tmp}/velloran-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver64 || command -v wineserver)
if [ "${1:-}" = "--init" ]; then
  # Creates (or updates) the prefix and waits until Wine has finished setting
  # it up, so that programs started next do not meet a half-made prefix.
  "$wine" cmd.exe /c exit >/dev/null 2>&1 || true
  # The classic look and a Chinese font substitute (wine-look.reg).
  look=$(dirname "$(readlink -f "$0")")/wine-look.reg
  "$wine" regedit /S "Z:${look//\//\\}" >/dev/null 2>&1 || true
  "$wineserver" -w
  exit 0
fi
if [ "${1:-}" = "--wait" ]; then
  "$wineserver" -w
  exit 0
fi
exec "$wine" "$@"
