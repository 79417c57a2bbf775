#!/usr/bin/env bash
# The real program on a virtual X display of a desktop's size: it starts at its default size
# (wide enough for the Integral graph's captions), shows its toolbar and the start hint,
# opens the About box from the Help menu by keyboard, and on File > Exit ends and saves its
# settings. Screenshots stay under <build>/test-output/xvfb_smoke/.
# Usage: xvfb_smoke.sh <build dir>
set -euo pipefail

build=$(cd "${1:?usage: xvfb_smoke.sh <build dir>}" && pwd)
program="$build/src/app/sorvantel"
out="$build/test-output/xvfb_smoke"
for tool in Xvfb xdotool import convert compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (tools/install-deps.sh)"; exit 1; }
done
[ -x "$program" ] || { echo "FAIL: $program is not built"; exit 1; }
mkdir -p "$out"

tmp=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for ((i = 0; i < tenths; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Pixels of exactly one colour inside a rectangle of an image: count image colour w h x y.
count_colour() {
  convert "$1" -crop "$3x$4+$5+$6" +repage -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:round(mean*w*h)]' info:
}

# A display of our own.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
wait_for 100 test -s "$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$(head -n1 "$tmp/display")"

# A fresh home, so the run neither reads nor writes the user's settings.
mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime"
chmod 700 "$tmp/runtime"
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime"
unset QT_QPA_PLATFORM

"$program" >"$out/program.log" 2>&1 &
app_pid=$!
wait_for 300 xdotool search --name '^Sorvantel$' || fail "no main window titled Sorvantel"
wid=$(xdotool search --name '^Sorvantel$' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y, WIDTH, HEIGHT
# A first start: the view beside the widest Integral picture (1034 pixels) has room for its
# longest caption, and the window fits the screen.
[ "$WIDTH" -ge 1500 ] && [ "$((X + WIDTH))" -le 1920 ] && [ "$((Y + HEIGHT))" -le 1080 ] \
  || fail "default window ${WIDTH}x${HEIGHT} at ${X},${Y} does not hold the captions on a 1920x1080 screen"

# The start hint: bright green text near the bottom centre of the window. The window may
# need a moment for its first paint.
hint_pixels() {
  import -window root "$out/start.png"
  count_colour "$out/start.png" '#00FF00' $((WIDTH / 2)) $((HEIGHT / 4)) $((X + WIDTH / 4)) $((Y + HEIGHT * 3 / 4))
}
hint_shown() { [ "$(hint_pixels)" -ge 50 ]; }
wait_for 100 hint_shown || fail "no start hint in the bottom centre ($(hint_pixels) bright green pixels)"
convert "$out/start.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/window.png"

# The toolbar: the green of the Start button near the top of the window.
start_green=$(count_colour "$out/start.png" '#1F9D3A' "$WIDTH" 100 "$X" "$Y")
[ "$start_green" -ge 10 ] || fail "no Start button on the toolbar ($start_green pixels of its green)"

# Help > About Sorvantel... by keyboard; the About box opens and OK closes it.
xdotool windowfocus --sync "$wid"
xdotool key --delay 100 alt+h
sleep 0.5
xdotool key a
wait_for 100 xdotool search --name '^About Sorvantel$' || fail "Help > About did not open the About box"
about=$(xdotool search --name '^About Sorvantel$' | head -n1)
import -window root "$out/about.png"
xdotool windowfocus --sync "$about"
xdotool key Return
about_closed() { ! xdotool search --name '^About Sorvantel$'; }
wait_for 100 about_closed || fail "OK did not close the About box"

# Caps Lock shows CAP in the status bar's right-hand panes (they are blank while it is off).
status_panes() {
  import -window root "$tmp/shot.png"
  convert "$tmp/shot.png" -crop "150x24+$((X + WIDTH - 150))+$((Y + HEIGHT - 24))" +repage "$1"
}
status_panes "$out/locks_off.png"
xdotool windowfocus --sync "$wid"
xdotool key Caps_Lock
panes_changed() {
  status_panes "$out/locks_caps.png"
  [ "$(compare -metric AE "$out/locks_off.png" "$out/locks_caps.png" null: 2>&1 || true)" != 0 ]
}
wait_for 50 panes_changed || fail "Caps Lock did not show in the status bar"
xdotool key Caps_Lock

# File > Exit ends the program, which writes its settings on the way out.
xdotool windowfocus --sync "$wid"
xdotool key --delay 100 alt+f
sleep 0.5
xdotool key x
program_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 150 program_ended || fail "File > Exit did not end the program"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=""
[ -s "$tmp/config/KELD/Sorvantel/settings.reg" ] || fail "no settings written on exit"

echo "PASS: window, start hint, toolbar, About box, Caps Lock pane and Exit; screenshots in $out"
