#!/usr/bin/env bash
# The real program under its own X server, recording into a data folder of its own: a game
# played to its end lands in the records with the total shown on screen, a stopped game is
# recorded as stopped, and a data folder that cannot be written leaves the game playing.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768
use_records
command -v tesseract >/dev/null || fail "tesseract is needed to read the total on screen"

mkdir -p "$XDG_CONFIG_HOME/Keyfall"
printf '[Rounds]\nMax=1\n' >"$XDG_CONFIG_HOME/Keyfall/Keyfall.ini"

# The score under "PUNTI", read from the screen: lblTotal lies at (4980, 45) twips in the panel.
total_on_screen() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop 153x32+$((panel_x + 2 + 4980 / 15))+$((panel_y + 2 + 45 / 15)) +repage \
    -negate -resize 300% "$work/total.png"
  tesseract "$work/total.png" - --psm 7 -c tessedit_char_whitelist='-0123456789.,' 2>/dev/null | tr -d ' \n'
}

"$exe" --player e2e >"$work/game.log" 2>&1 &
game=$!
pids+=($game)
xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null

# A game of one round: every capital letter once hits what falls and misses the rest.
click_start
xdotool type --delay 30 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'
row=$(wait_for 60 "SELECT total, finished, hits, misses FROM games") || { cat "$work/game.log"; fail "the game was not recorded"; }
IFS='|' read -r total finished hits misses <<<"$row"
[ "$finished" = 1 ] || fail "a game played to its end is recorded as stopped: $row"
[ $((hits + misses)) -ge 26 ] || fail "26 keys typed, $hits hits and $misses misses recorded"
sleep 1
shown=$(total_on_screen)
digits=${shown//[.,]/}
[ "$digits" = "$total" ] || fail "the screen shows \"$shown\", the records hold $total"
echo "finished game: total $total on screen and in the records"

# A game stopped with DA CAPO.
click_start
sleep 1
click_start
wait_for 30 "SELECT 1 FROM games WHERE finished = 0" >/dev/null || fail "the stopped game was not recorded"
[ "$(query "SELECT COUNT(*) FROM games")" = 2 ] || fail "expected two games"
[ "$(query "SELECT name FROM players")" = e2e ] || fail "the games are not e2e's"
kill "$game"
wait "$game" 2>/dev/null || true
unset 'pids[-1]'
grep -q 'records' "$work/game.log" && { cat "$work/game.log"; fail "problems reported with a writable folder"; }
echo "stopped game: recorded as stopped"

# The message in the field, read from the screen (blue text: the blue channel, thresholded).
message_on_screen() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop 330x40+$((panel_x + 2 + 3128 / 15 - 2))+$((169 + 2 + 4350 / 15 - 2)) +repage \
    -channel B -separate -threshold 60% -negate -resize 200% "$work/message.png"
  tesseract "$work/message.png" - --psm 7 2>/dev/null | tr -d '\n'
}

# A data folder that cannot be made: one line on standard error, the game plays to its end.
export XDG_DATA_HOME=/dev/null/keyfall-data
"$exe" >"$work/nowhere.log" 2>&1 &
game=$!
pids+=($game)
xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null
click_start
xdotool type --delay 30 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'
ended=""
for _ in $(seq 120); do
  message=$(message_on_screen)
  [[ $message == *finita* ]] && { ended=yes; break; }
  sleep 0.5
done
[ -n "$ended" ] || fail "the game did not reach its end: \"$message\""
shown=$(total_on_screen)
kill -0 "$game" 2>/dev/null || { cat "$work/nowhere.log"; fail "the game ended with an unwritable data folder"; }
[ "$(grep -c 'keyfall: records:' "$work/nowhere.log")" = 1 ] || { cat "$work/nowhere.log"; fail "expected one line about the records"; }
[ -n "$shown" ] || fail "no total shown at the end of the game"
echo "unwritable data folder: the game played to its end, total $shown"
