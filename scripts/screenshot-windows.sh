#!/usr/bin/env bash
# Takes a picture of the Windows dialog: runs build-win64/bin/Velloran.exe
# under Wine in a virtual desktop on a virtual X display, waits for the
# window titled "Velloran-V4.0" and saves the desktop's dialog area; checks
# that the picture shows the classic look.
# Usage: scripts/screenshot-windows.sh [OUTPUT.png]   (default docs/dialog-windows.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output=${1:-docs/dialog-windows.png}
program=$root/build-win64/bin/Velloran.exe
[ -f "$program" ] || { echo "screenshot-windows: build $program first (scripts/test-windows.sh)" >&2; exit 1; }

if [ -z "${VELLORAN_SCREENSHOT_DISPLAY:-}" ]; then
  # Restart inside a virtual X display.
  exec xvfb-run -a -s "-screen 0 800x600x24" env VELLORAN_SCREENSHOT_DISPLAY=1 "$0" "$@"
fi

work=$(mktemp -d)
export VELLORAN_WINEPREFIX=$work/prefix
wine_pid=""
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null || true
  WINEPREFIX=$VELLORAN_WINEPREFIX wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The prefix gets the classic look and a Chinese font (wine-look.reg).
scripts/wine-run.sh --init

# A virtual desktop draws the window frame and caption itself; a bare X
# display has no window manager to do it.
scripts/wine-run.sh explorer.exe /desktop=velloran,800x600 "$program" >/dev/null 2>&1 &
wine_pid=$!

title=""
for _ in $(seq 360); do  # up to 3 minutes: a loaded machine starts Wine slowly
  if xwininfo -root -tree 2>/dev/null | grep -q '"Velloran-V4.0"'; then
    title=Velloran-V4.0
    break
  fi
  sleep 0.5
done
[ -n "$title" ] || { echo "screenshot-windows: no window titled Velloran-V4.0 appeared" >&2; exit 1; }
sleep 2  # let it paint
echo "window found: \"$title\""

# The virtual desktop's window holds the dialog.
desktop=$(xwininfo -root -tree | awk '/"Wine desktop"|"velloran/ {print $1; exit}')
mkdir -p "$(dirname "$output")"
if [ -n "$desktop" ]; then
  import -window "$desktop" "$work/shot.png"
else
  import -window root "$work/shot.png"
fi
# Trim the empty desktop around the dialog.
convert "$work/shot.png" -trim +repage "$output"

# The classic look, as the users' systems draw it: the empty progress bar
# shows the dialog's face colour (a visual style fills it with its own), so
# PBM_SETBARCOLOR's phase colours are what fills it. The bar's middle line
# lies at (24 + 264/2, 105 + 14/2) of the 319 x 154 dialog units; the
# caption takes about 21 pixels above the client area.
read -r width height < <(identify -format '%w %h\n' "$output")
pixel() { convert "$output" -format "%[pixel:p{$1,$2}]" info:; }
face=$(pixel 8 $((height / 2)))
bar_y=$((21 + (height - 24) * 112 / 154))
for percent in 30 50 70; do
  sample=$(pixel $((width * percent / 100)) "$bar_y")
  [ "$sample" = "$face" ] || {
    echo "screenshot-windows: the progress bar at $percent% shows $sample, not the face colour $face" >&2
    exit 1
  }
done
echo "saved $output (classic look: the empty bar shows the face colour $face)"
