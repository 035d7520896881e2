#!/usr/bin/env bash
# The command line of the real program. Over SSH, with no display at all, --help and
# --version answer and end with 0, a mistake ends with 2 and one line; under X,
# --window opens an 800 x 600 window with the scene laid out as on that screen, and
# --no-sound opens no sound output (so a missing sound server goes unmentioned).
set -euo pipefail
exe=$(realpath "$1")
version=$2
source "$(dirname "$0")/../common.sh"

headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" "$@"; }

headless --help >"$work/help" 2>"$work/help.err" || fail "--help ended with $?"
[ ! -s "$work/help.err" ] || fail "--help wrote to stderr: $(cat "$work/help.err")"
for option in --window --no-sound -ns --scale --player --export-csv --export-keys-csv --version; do
  grep -qw -- "$option" "$work/help" || fail "--help does not list $option"
done
! grep -q -- "--ns" "$work/help" || fail "--help lists --ns where the player types -ns"
headless -h | cmp -s - "$work/help" || fail "-h differs from --help"
[ "$(headless --version)" = "Keyfall $version" ] || fail "--version: $(headless --version)"

# refused ARGUMENTS...: the program ends with 2 and one line on standard error, nothing else.
refused() {
  local status=0
  headless "$@" >"$work/bad.out" 2>"$work/bad.err" || status=$?
  [ "$status" -eq 2 ] || fail "$* ended with $status: $(cat "$work/bad.err")"
  [ ! -s "$work/bad.out" ] || fail "$* wrote to stdout"
  [ "$(wc -l <"$work/bad.err")" -eq 1 ] || fail "$* printed $(wc -l <"$work/bad.err") lines: $(cat "$work/bad.err")"
}
refused --fullscreen
grep -q "^keyfall: unknown option 'fullscreen'" "$work/bad.err" || fail "unclear message: $(cat "$work/bad.err")"
refused --version extra
refused --export-csv=
refused --export-keys-csv=
refused --player=
refused --player="$(printf 'a%.0s' $(seq 65))"
refused --player="$(printf 'Anna\nBea')"

start_xvfb 1024x768
export PULSE_SERVER=unix:$work/no-sound-server
run_for 2 "$work/window.log" "$exe" --window -ns
window=$(xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1)
size=$(xwininfo -id "$window" | awk '/Width/{w=$NF} /Height/{h=$NF} END{print w "x" h}')
[ "$size" = 800x600 ] || fail "--window opened a ${size} window"
# The VIA button where an 800 x 600 screen has it: field at (78, 85), panel below it.
shot=$work/window.png
shoot_when_drawn "$shot" $((78 + 2 + 7605 / 15 + 20)) $((515 + 2 + 150 / 15 + 20)) import -window "$window" "$shot"
if grep -iE 'pulse|audio|sound' "$work/window.log" >&2; then
  fail "--no-sound still reached for a sound output"
fi
echo "command line: ok"
