#!/usr/bin/env bash
# The real program under its own X server: it opens full screen, takes keys and clicks,
# and "ESCI" ends it at once with success, writing no settings.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768

"$exe" >"$work/out.log" 2>&1 &
game=$!
pids+=($game)
window=$(xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1)
geometry=$(xwininfo -id "$window" | grep -E 'geometry')
case "$geometry" in
  *"1024x768+0+0"*) ;;
  *) echo "window does not cover the screen: $geometry"; exit 1 ;;
esac

# Field 644x430 centred, panel below; the panel's buttons sit 2 px inside its border.
panel_x=190; panel_y=599
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
click $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20))   # VIA
xdotool type --delay 40 'qwerty12345'
sleep 1
kill -0 "$game"
# Repaints go over the X connection: through memory shared with the server, Qt waits for the
# server before it paints a place again, which a falling letter does in every tick.
if grep -E 'memfd:xorg|SYSV' "/proc/$game/maps"; then echo "the window's pixels are shared with the X server"; exit 1; fi

click $((panel_x + 2 + 8610 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20))   # ESCI
for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$game" 2>/dev/null; then echo "ESCI did not end the program"; exit 1; fi
wait "$game" && status=0 || status=$?
[ "$status" -eq 0 ] || { echo "exit status $status"; cat "$work/out.log"; exit 1; }
[ ! -e "$XDG_CONFIG_HOME/Keyfall/Keyfall.ini" ] || { echo "settings were written"; exit 1; }
echo "start and exit: ok"
