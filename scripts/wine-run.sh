#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in the project's own Wine prefix
# (VELLORAN_WINEPREFIX, default: a folder under /tmp per user), so that tests
# never touch the user's ~/.wine. Used as CMake's cross-compiling emulator.
set -euo pipefail
export WINEPREFIX="${VELLORAN_WINEPREFIX:-${TMPDIR:-/tmp}/velloran-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
