#!/usr/bin/env bash
# The pictures in docs/ of the real program on a real X server: Xvfb at
# 1366x850 with the openbox window manager, so the windows carry the frames, titles and
# placement a user sees. Needs Debian's xvfb, openbox, xdotool, x11-apps, x11-utils and netpbm
# (not installed by install-deps.sh: the pictures are made by hand, after a change that shows).
#   scripts/screenshots.sh [BUILD]
# It runs the demo first, for a list of entries imported from the simulator.
set -euo pipefail
build=${1:-build}
root="$PWD"
bin="$root/$build/src/larkspire"
out="$root/docs"
work=$(mktemp -d /tmp/office.XXXXXX)

pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for tool in Xvfb openbox xdotool xwd xwininfo xprop xwdtopnm pnmpaste pnmcut pnmtopng; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

bash "$root/scripts/demo.sh" "$build" >/dev/null

display=:77
Xvfb "$display" -screen 0 1366x850x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
unset QT_QPA_PLATFORM
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
mkdir -p "$out"
# The pointer rests in the middle of the screen, where a new window is centred.
xdotool mousemove 683 425

# Waits for a window whose title matches and prints its id.
window() {
  xdotool search --sync --onlyvisible --name "$1" | head -1
}

# "X Y WIDTH HEIGHT" of a window's own area on the screen.
area() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# "LEFT RIGHT TOP BOTTOM" of the frame the window manager put around it.
frame() {
  xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ','
}

# The part of the screen holding the given windows with their frames, as PNG. Each of the
# program's windows is taken from its own contents and laid on the screen where it is, largest
# first (menus and dialogs on top): the screen's own picture of a window mapped over another
# one can still be black for a moment after it has been drawn.
shoot() {
  local name=$1 left=100000 top=100000 right=0 bottom=0 id x y w h l r t b
  shift
  sleep 1
  xwd -root -silent | xwdtopnm 2>/dev/null >"$work/screen.pnm"
  for id in $(for id in $(xdotool search --onlyvisible --class larkspire); do
                read -r x y w h < <(area "$id")
                echo "$((w * h)) $id"
              done | sort -rn | cut -d' ' -f2); do
    read -r x y w h < <(area "$id")
    xwd -silent -id "$id" | xwdtopnm 2>/dev/null >"$work/window.pnm"
    pnmpaste "$work/window.pnm" "$x" "$y" "$work/screen.pnm" >"$work/pasted.pnm"
    mv "$work/pasted.pnm" "$work/screen.pnm"
  done
  for id in "$@"; do
    read -r x y w h < <(area "$id")
    read -r l r t b < <(frame "$id")
    ((x - l < left)) && left=$((x - l))
    ((y - t < top)) && top=$((y - t))
    ((x + w + r > right)) && right=$((x + w + r))
    ((y + h + b > bottom)) && bottom=$((y + h + b))
  done
  ((left < 0)) && left=0
  ((top < 0)) && top=0
  ((right > 1366)) && right=1366
  ((bottom > 850)) && bottom=850
  pnmcut -left "$left" -top "$top" -width $((right - left)) -height $((bottom - top)) \
    "$work/screen.pnm" | pnmtopng >"$out/$name.png"
}

start() {
  LARKSPIRE_SETTINGS="$1" "$bin" >"$work/run.log" 2>&1 &
  pids+=($!)
  program=$!
}

stop() {
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
}

# First start: nothing configured, so the disclaimer comes first, over the main window.
: >"$work/fresh.ini"
start "$work/fresh.ini"
main=$(window "^Larkspire[^ ]*$")
disclaimer=$(window "Disclaimer")
shoot first-start "$main" "$disclaimer"
stop

# The demo's office with the applications it imported, nothing placed yet.
cp -r "$root/$build/demo/log" "$work/log"
# The demo's second run happened "tomorrow" (faketime, which the window's drawing does not
# survive): its update and change days move back to today, so the list looks as it did then.
today=$(($(date +%s) / 86400 + 25569))
awk -F '\t' -v OFS='\t' -v tomorrow=$((today + 1)) '
  NR > 1 { if ($16 == tomorrow) $16 = tomorrow - 1; if ($20 == tomorrow) $20 = tomorrow - 1 }
  { print }' "$root/$build/demo/log/patent.dat" >"$work/log/patent.dat"
# Where the demo's windows were (on its offscreen screen) is dropped: placed afresh, the main
# window is centred on the screen and the tool windows open beside it.
sed -e "s|^LogDir=.*|LogDir=$work/log|" -e "s|^ShortcutFolder=.*|ShortcutFolder=$work/shortcuts|" \
  -e '/^\(Left\|Top\|Right\|Bottom\|Details[A-Z][a-z]*\|TCPIP[A-Z][a-z]*\)=/d' \
  "$root/$build/demo/settings.ini" >"$work/office.ini"
start "$work/office.ini"
main=$(window "Harrowgate Demo Office")
shoot main-window "$main"

# The context menu on a row: the pointer over the fourth row's Reference cell.
read -r x y w h < <(area "$main")
xdotool mousemove $((x + 300)) $((y + 120)) click 1
sleep 0.3
xdotool click 3
shoot context-menu "$main"
xdotool key Escape

# Details of the selected entry, beside the main window.
xdotool key Return
details=$(window "Details")
shoot details-window "$details"
xdotool windowclose "$details" 2>/dev/null || xdotool key --window "$details" alt+F4

# The import preview of a spreadsheet with additions and refusals.
printf '%s\r\n' "Our Ref;Application No" "OL-2009-007;12/345,678" "CH-0412-US;10/123,456" \
  "OL-2009-008;12/34" ";11/999,001" "OL-2009-009;US 2009-0123456 A1" >"$work/docket.csv"
xdotool windowactivate --sync "$main" key alt+f
sleep 0.3
xdotool key i
window " - Import$" >/dev/null
sleep 0.5
xdotool type --delay 20 "$work/docket.csv"
xdotool key Return
sleep 1
preview=$(window " - Import$")
shoot import-preview "$main" "$preview"
xdotool key Escape
stop
echo "pictures in $out"
