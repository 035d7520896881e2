#!/usr/bin/env bash
# On a screen of 8-bit colour Qt can paint nothing, and its styles crash trying. The game, the
# window and the statistics alike end at once with one line that says why and status 1,
# never a crash or a black screen; on a 16-bit screen the game opens as usual.
set -euo pipefail
exe=$(realpath "$1")
source "$(dirname "$0")/../common.sh"
export PULSE_SERVER=unix:$work/no-sound-server

start_xvfb 1024x768 8
for options in "" "--window" "--stats" "--window -ns"; do
  status=0
  # shellcheck disable=SC2086 # the options are words
  timeout 60 "$exe" $options >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "'$options' on an 8-bit screen ended with $status: $(head -c 400 "$work/err")"
  [ ! -s "$work/out" ] || fail "'$options' wrote to stdout"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "'$options' printed $(wc -l <"$work/err") lines: $(head -c 400 "$work/err")"
  grep -q '^keyfall: the screen shows 8-bit colour' "$work/err" || fail "unclear message: $(cat "$work/err")"
done
stop_last

start_xvfb 1024x768 16
run_for 2 "$work/sixteen.log" "$exe" --window -ns
timeout 30 xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null || fail "no window on a 16-bit screen"
echo "8-bit screen: ok"
