#!/usr/bin/env bash
# The Windows installer, made with NSIS from the cross-builds of
# scripts/test-windows.sh (build-win32's only built: Wine here runs 64-bit
# programs only), and checked under Wine in a fresh Wine prefix: installs
# Velloran-<version>-win64-setup.exe silently (/S), checks that Velloran.exe,
# velloran-cli.exe and Corvalink.dll lie side by side in the program folder
# with the uninstaller, that the Start-menu entry and the entry in the list of
# installed programs exist, runs the installed velloran-cli.exe --version,
# then uninstalls silently and checks that all of it is gone.
# Usage: scripts/test-windows-installer.sh   (after scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "test-windows-installer: $*" >&2; exit 1; }
for build in build-win32 build-win64; do
  [ -f "$build/CMakeCache.txt" ] || fail "$build is not configured: run scripts/test-windows.sh"
  cmake --build "$build" --target installer >/dev/null
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
ls build-win32/Velloran-"$version"-win32-setup.exe >/dev/null || fail "no installer in build-win32"
setup=$(ls build-win64/Velloran-"$version"-win64-setup.exe) || fail "no installer in build-win64"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELLORAN_WINEPREFIX=$work/prefix
# No menu files for the Linux desktop from this prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
scripts/wine-run.sh --init

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloran'
folder="$VELLORAN_WINEPREFIX/drive_c/Program Files/Velloran"
start_menu() { find "$VELLORAN_WINEPREFIX/drive_c" -path '*Start Menu/Programs/Velloran*' 2>/dev/null; }

echo "installing $setup silently"
timeout 300 scripts/wine-run.sh "$setup" /S || fail "the installer failed"
scripts/wine-run.sh --wait
listed=$(cd "$folder" 2>/dev/null && LC_ALL=C ls | tr '\n' ' ') || fail "no folder $folder"
[ "$listed" = "Corvalink.dll Uninstall.exe Velloran.exe velloran-cli.exe " ] || fail "$folder holds: $listed"
start_menu | grep -q '/Velloran/Velloran.lnk$' || fail "no Start-menu entry Velloran/Velloran.lnk"
scripts/wine-run.sh reg query "$uninstall_key" /v UninstallString >/dev/null ||
  fail "no entry $uninstall_key"

answer=$(scripts/wine-run.sh "$folder/velloran-cli.exe" --version | tr -d '\r')
[ "$answer" = "velloran-cli $version" ] || fail "the installed velloran-cli.exe --version says '$answer'"
echo "installed: $listed; Start menu: Velloran; $answer"

echo "uninstalling silently"
timeout 300 scripts/wine-run.sh "$folder/Uninstall.exe" /S || fail "the uninstaller failed"
scripts/wine-run.sh --wait
[ ! -e "$folder" ] || fail "$folder is left: $(ls "$folder")"
[ -z "$(start_menu)" ] || fail "Start-menu entries are left: $(start_menu)"
if scripts/wine-run.sh reg query "$uninstall_key" >/dev/null 2>&1; then fail "$uninstall_key is left"; fi
echo "uninstalled: program folder, Start-menu entry and uninstall entry are gone"
