#!/usr/bin/env bash
# A game of the Italian accented letters in the real program under its own X server: with the
# Italian layout and the on-screen keyboard shown, "è" typed as the X server delivers it hits
# a falling "è", and the game lands in the records under the accented letters' own key set.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768
use_records
mkdir -p "$XDG_CONFIG_HOME/Keyfall"
printf '[Rounds]\nMax=3\n[Allenamento]\nScelta=accentate\n' >"$XDG_CONFIG_HOME/Keyfall/Keyfall.ini"

"$exe" --player e2e --layout=it --keyboard --no-sound >"$work/game.log" 2>&1 &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1)

click_start
sleep 0.5
# Each accented letter as its keysym: xdotool gives it a key code of the server's keymap, and
# the program receives the character "è" and the rest, as from an Italian keyboard.
for key in egrave agrave eacute igrave ograve ugrave; do
  xdotool key --window "$window" "$key"
  sleep 0.05
done
sleep 0.3
click_start

row=$(wait_for 60 "SELECT key_set, hits FROM games") || { cat "$work/game.log"; fail "the game was not recorded"; }
IFS='|' read -r keyset hits <<<"$row"
[ "$keyset" = 5 ] || fail "recorded under key set $keyset, not the accented letters' (5)"
[ "$hits" -gt 0 ] || fail "no accented letter was hit: $row"
IFS='|' read -r launched typed <<<"$(query "SELECT launched, hits FROM game_keys WHERE character = 'è'")"
[ "${launched:-0}" = 0 ] || [ "${typed:-0}" -gt 0 ] || fail "\"è\" fell and typing it hit nothing"
others=$(query "SELECT COUNT(*) FROM game_keys WHERE launched > 0 AND character NOT IN ('à','è','é','ì','ò','ù')")
[ "$others" = 0 ] || fail "characters other than the accented letters fell"
echo "accented game: key set $keyset, $hits hits, $(query "SELECT group_concat(character || ':' || hits, ' ') FROM game_keys WHERE launched > 0")"
