#!/usr/bin/env bash
# With no sound server at all the program says so in one line of its own, says nothing else
# (no library's warnings), does not retry, and plays on: misses, a hard wave and its landings,
# then ESCI ends it with success.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768
# A socket path where nothing listens: the library finds no server, and starts none.
export PULSE_SERVER=unix:$work/no-server-here

"$exe" >"$work/out.log" 2>&1 &
game=$!
pids+=($game)
xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null

panel_x=190; panel_y=599
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
xdotool type --delay 30 'qwerty12345'
click $((panel_x + 2 + 105 / 15 + 2055 / 15 + 20)) $((panel_y + 2 + 30 / 15 + 435 / 15 + 8)) # Difficile
click $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20))                     # VIA
sleep 6
xdotool type --delay 30 '0987'
kill -0 "$game" || fail "the program ended while playing silently"

click $((panel_x + 2 + 8610 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)) # ESCI
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game" 2>/dev/null && fail "ESCI did not end the program"
wait "$game" && status=0 || status=$?
[ "$status" -eq 0 ] || { cat "$work/out.log" >&2; fail "ESCI ended the program with status $status"; }

expected="keyfall: no sound output; playing silently"
if [ "$(cat "$work/out.log")" != "$expected" ]; then
  echo "--- standard error and output:" >&2
  cat "$work/out.log" >&2
  fail "expected exactly one line: $expected"
fi
echo "no sound server: one line, the game played on and ended with success"
