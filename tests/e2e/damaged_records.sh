#!/usr/bin/env bash
# The real program on records files that were damaged or are held by another program: the
# game, --stats, --export-csv and --export-keys-csv never crash, each says what is wrong in
# one line, the export ends with 1 and leaves the teacher's file exactly as it was. Then a
# file held at start-up still records the game played meanwhile, and the CSV goes into a FIFO
# that is there and reports a full disk on standard output.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768
command -v sqlite3 >/dev/null || fail "sqlite3 is needed to damage the records"
command -v xdotool >/dev/null || fail "xdotool is needed to play"

export XDG_DATA_HOME=$work/data
db=$XDG_DATA_HOME/Keyfall/keyfall.sqlite
mkdir -p "$XDG_CONFIG_HOME/Keyfall"
printf '[Rounds]\nMax=1\n' >"$XDG_CONFIG_HOME/Keyfall/Keyfall.ini"
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" "$@"; }
lines() { grep -c "^keyfall: " "$1" || true; }

# A records file as the game makes it, with one game of anna's in it.
fresh_records() {
  rm -rf "$XDG_DATA_HOME"
  run_for 2 "$work/make.log" "$exe" --window --no-sound --player anna
  for _ in $(seq 50); do [ -s "$db" ] && break; sleep 0.2; done
  stop_last
  sqlite3 "$db" "INSERT INTO players(name) VALUES ('anna');
    INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, total, hits, misses, landed,
                      duration_ms, typing_ms, finished)
    VALUES (1, '2026-12-01T10:00:00Z', 50, 8, 8, 0, 120, 40, 1, 2, 95000, 60000, 1);
    PRAGMA journal_mode = DELETE;" >/dev/null
}

# check_damaged NAME: the game, --stats and --export-csv on the file as it now is.
check_damaged() {
  local name=$1 before status
  before=$(sha256sum "$db")
  # The export: status 1, one line, no CSV, and the file and its folder as they were.
  status=0
  headless --player anna --export-csv "$work/$name.csv" >"$work/$name-export.out" 2>"$work/$name-export.err" || status=$?
  [ "$status" = 1 ] || { cat "$work/$name-export.err"; fail "$name: --export-csv ended with $status"; }
  [ "$(lines "$work/$name-export.err")" = 1 ] || { cat "$work/$name-export.err"; fail "$name: expected one line from the export"; }
  grep -q "cannot export the records" "$work/$name-export.err" || fail "$name: unclear: $(cat "$work/$name-export.err")"
  [ ! -e "$work/$name.csv" ] || fail "$name: a CSV was written"
  [ "$(sha256sum "$db")" = "$before" ] || fail "$name: the export changed the records file"
  [ "$(ls "$(dirname "$db")")" = keyfall.sqlite ] || fail "$name: the export left $(ls "$(dirname "$db")")"
  status=0
  headless --player anna --export-csv - >"$work/$name-stdout.csv" 2>"$work/$name-stdout.err" || status=$?
  [ "$status" = 1 ] && [ ! -s "$work/$name-stdout.csv" ] || fail "$name: --export-csv - ended with $status"
  # The keys' export alike.
  status=0
  headless --export-keys-csv "$work/$name-keys.csv" >"$work/$name-keys.out" 2>"$work/$name-keys.err" || status=$?
  [ "$status" = 1 ] && [ "$(lines "$work/$name-keys.err")" = 1 ] || { cat "$work/$name-keys.err"; fail "$name: --export-keys-csv ended with $status"; }
  [ ! -e "$work/$name-keys.csv" ] || fail "$name: a keys' CSV was written"
  [ "$(sha256sum "$db")" = "$before" ] || fail "$name: the keys' export changed the records file"

  # The statistics window: it opens, says the statistics cannot be read, changes nothing.
  run_for 3 "$work/$name-stats.log" "$exe" --stats --player anna
  xdotool search --sync --onlyvisible --name 'Statistiche' >/dev/null
  stop_last
  [ "$(lines "$work/$name-stats.log")" = 1 ] || { cat "$work/$name-stats.log"; fail "$name: expected one line from --stats"; }
  [ "$(sha256sum "$db")" = "$before" ] || fail "$name: --stats changed the records file"

  # The game: it starts and plays, with one line about the records.
  run_for 3 "$work/$name-game.log" "$exe" --window --no-sound --player anna
  xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null
  stop_last
  [ "$(grep -c "keyfall: records:" "$work/$name-game.log")" = 1 ] || { cat "$work/$name-game.log"; fail "$name: expected one line from the game"; }
  echo "$name: no crash; export 1: $(head -n1 "$work/$name-export.err")"
}

fresh_records
sqlite3 "$db" "PRAGMA user_version = -1"
check_damaged version-minus-one
grep -q "schema version no Keyfall writes" "$work/version-minus-one-game.log" || fail "the game gave no reason"

fresh_records
printf '\xff' | dd of="$db" bs=1 seek=60 conv=notrunc status=none
check_damaged byte-60
grep -q "schema version no Keyfall writes" "$work/byte-60-game.log" || fail "the game gave no reason"
[ "$(ls "$(dirname "$db")")" = keyfall.sqlite ] || fail "the game moved a file of a foreign version"

rm -rf "$XDG_DATA_HOME"
mkdir -p "$(dirname "$db")"
head -c 8192 /dev/urandom >"$db"
check_damaged not-sqlite
# Only the game, which writes, moves a damaged file aside, and never deletes it.
ls "$(dirname "$db")"/keyfall.sqlite.corrupt-* >/dev/null || fail "the game did not keep the damaged file"

# Another program holds the file, readers too, for the first seconds of the game: the game
# played meanwhile is written once the file is free.
fresh_records
(echo "BEGIN EXCLUSIVE; INSERT INTO players(name) VALUES ('lock');"; sleep 4; echo "COMMIT;") | sqlite3 "$db" &
pids+=($!)
sleep 0.5
"$exe" --window --no-sound --player e2e >"$work/locked.log" 2>&1 &
game=$!
pids+=($game)
window=$(xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1)
# VIA in an 800 x 600 window: field at (78, 85), panel below it.
xdotool mousemove --window "$window" $((78 + 2 + 7605 / 15 + 20)) $((515 + 2 + 150 / 15 + 20)) click 1
xdotool type --delay 30 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'
recorded=""
for _ in $(seq 150); do
  recorded=$(sqlite3 -readonly "$db" "SELECT COUNT(*) FROM games g JOIN players p ON p.id = g.player_id WHERE p.name = 'e2e'" 2>/dev/null || true)
  [ "$recorded" = 1 ] && break
  sleep 0.4
done
[ "$recorded" = 1 ] || { cat "$work/locked.log"; fail "the game played while the file was held was not recorded"; }
kill -0 "$game" || fail "the game ended"
stop_last
echo "held at start-up: the game was recorded once the file was free ($(lines "$work/locked.log") line)"

# The CSV into a FIFO that is there: the FIFO stays, the reader gets the CSV.
fresh_records
mkfifo "$work/pipe"
cat "$work/pipe" >"$work/from-pipe.csv" &
reader=$!
headless --player anna --export-csv "$work/pipe" || fail "the export into a FIFO ended with $?"
wait "$reader"
[ -p "$work/pipe" ] || fail "the FIFO was replaced"
grep -q '^"anna","2026-12-01T10:00:00Z"' "$work/from-pipe.csv" || fail "the FIFO's reader got: $(cat "$work/from-pipe.csv")"
status=0
headless --player anna --export-csv - >/dev/full 2>"$work/full.err" || status=$?
[ "$status" = 1 ] || fail "a full disk on standard output ended with $status"
grep -q "No space left on device" "$work/full.err" || fail "a full disk unexplained: $(cat "$work/full.err")"
echo "export: into a FIFO, and a full disk reported"
