#!/usr/bin/env bash
# The real program with a settings file it cannot use. A FIFO in the file's place opens the
# window with the defaults and one line (opening a FIFO for reading waits for a writer); a
# folder in the lock's place makes APPLICA give up with one line, the window answering on.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768
folder=$XDG_CONFIG_HOME/Keyfall
ini=$folder/Keyfall.ini
mkdir -p "$folder"
mkfifo "$ini"

"$exe" >"$work/out.log" 2>&1 &
game=$!
pids+=($game)

# visible NAME SECONDS: waits for a window. A loaded machine may be slow to show one; a
# program blocked in open() never shows it, and the kernel says where it waits.
visible() {
  for _ in $(seq $(($2 * 10))); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 | grep . && return 0
    kill -0 "$game" 2>/dev/null || { cat "$work/out.log" >&2; fail "the program ended"; }
    sleep 0.1
  done
  fail "no window $1 after $2 s; the program waits in $(cat "/proc/$game/wchan" 2>/dev/null)" \
    "(wait_for_partner or fifo_open: stuck opening the FIFO; anything else: a slow machine)"
}
visible '^Keyfall$' 60 >/dev/null
[ -p "$ini" ] || fail "the FIFO was replaced"
[ "$(grep -c 'Keyfall.ini' "$work/out.log")" -eq 1 ] || { cat "$work/out.log" >&2; fail "not one line about the FIFO"; }
grep -q 'not a regular file; the defaults apply' "$work/out.log" || fail "no line about the FIFO"

# With a regular file again and a folder where the lock goes.
rm "$ini"
mkdir "$ini.lock"
panel_x=190
panel_y=599
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
click $((panel_x + 2 + 3420 / 15 + 40)) $((panel_y + 2 + 150 / 15 + 25)) # OPZIONI AVANZATE
options=$(visible '^Options$' 60)
eval "$(xdotool getwindowgeometry --shell "$options")"
click $((X + 2 + 4695 / 15 + 8)) $((Y + 2 + 4230 / 15 + 10))  # "solo minuscole"
click $((X + 2 + 5880 / 15 + 50)) $((Y + 2 + 5580 / 15 + 24)) # APPLICA LE OPZIONI
# A save that cannot take its lock gives up at once; one that loops in the lock never prints.
for _ in $(seq 600); do
  grep -q 'could not save' "$work/out.log" && break
  sleep 0.1
done
grep -q 'could not save' "$work/out.log" || fail "no line 60 s after APPLICA: the save is stuck in its lock"
[ "$(grep -c 'could not save' "$work/out.log")" -eq 1 ] || fail "more than one line for one save"
grep 'could not save' "$work/out.log" | grep -q 'is not a file' || fail "the line does not name the lock"
click $((X + 2 + 7740 / 15 + 50)) $((Y + 2 + 5580 / 15 + 24)) # TORNA AL GIOCO
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Options$' >/dev/null 2>&1 || break
  sleep 0.1
done
! xdotool search --onlyvisible --name '^Options$' >/dev/null 2>&1 || fail "the options window no longer answers"
[ -d "$ini.lock" ] && [ ! -e "$ini" ] || fail "the save touched the folder"
kill -0 "$game" || fail "the program ended"
echo "odd settings file: ok"
