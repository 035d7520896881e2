#!/usr/bin/env bash
# Key press to pixels, Keyfall and the floor program one after the other on one Xvfb:
#   latency.sh <keyfall> <bench_key_latency> <bench_repaint_floor>
# Environment: KEYFALL_LATENCY_SAMPLES (presses counted for each program, default 200);
# KEYFALL_BENCH_PRESSES=1 lists every press on standard error.
#
# Keyfall plays a hard game whose letters never fall (speeds 0), drawn from the 18 characters
# a to r, for more rounds than the measurement needs. Each of those keys is pressed in turn:
# a key that hits puts a star where its letter waits in the top row of the field, and that is
# a sample; a key that misses changes the total in the panel and is left out, as is anything
# pressed while the tally of a cleared wave changes the field on its own. The floor program
# (bench_repaint_floor key) repaints its one letter for every key. Both are timed by
# bench_key_latency from the XTEST press to the first damage where the change is expected.
# Prints the "name value" lines of both on standard output, then a summary on standard error.
set -euo pipefail

keyfall=$(realpath "$1")
key_latency=$(realpath "$2")
floor=$(realpath "$3")
samples=${KEYFALL_LATENCY_SAMPLES:-200}
characters=abcdefghijklmnopqr

say() { echo "latency: $*" >&2; }

scratch_name=latency
source "$(dirname "$0")/scratch.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Keyfall" "$XDG_DATA_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR

# shellcheck source=scripts/xvfb.sh
source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb 1024x768

# A hit plays its cue, so the game plays into a null sink of its own when it can, as on a
# desktop; without pulseaudio it runs silent.
sound=(--no-sound)
null_sink latency_null && sound=()

# A hard wave launches 9 to 18 letters, so 200 hits take some 25 waves.
cat >"$XDG_CONFIG_HOME/Keyfall/Keyfall.ini" <<INI
[FallRates]
EasyLow=0
EasyHigh=0
MedLow=0
MedHigh=0
HardLow=0
HardHigh=0

[Rounds]
Max=$((samples / 4 + 10))

[Allenamento]
Scelta=propri
Caratteri=$characters
INI

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
results=$work/results

# The field is centred on the 1024 x 768 screen, the panel below it (FrmMain.h); the letters
# wait in its top row, and a star takes a letter's place.
field_x=$(((1024 - 9660 / 15) / 2)) field_y=$(((768 - 6450 / 15) / 2))
panel_x=$field_x panel_y=$((field_y + 6450 / 15))
top_row=$field_x,$field_y,$((9660 / 15)),48
panel=$panel_x,$panel_y,$((9660 / 15)),$((1095 / 15))

say "Keyfall: $samples hits, on a hard wave of letters at rest"
"$keyfall" "${sound[@]}" </dev/null >"$work/keyfall.log" 2>&1 &
game=$!
timeout 20 xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null
sleep 2
xdotool mousemove $((panel_x + 2 + (105 + 2055) / 15 + 8)) $((panel_y + 2 + (30 + 435) / 15 + 8)) click 1 # Difficile
sleep 0.3
xdotool mousemove $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)) click 1 # VIA
# The pointer off the buttons, so that none changes under it while the keys are pressed.
xdotool mousemove 0 0
"$key_latency" --name keyfall --region "$top_row" --except "$panel" --limit $((samples * 5)) \
  Keyfall "$characters" "$samples" >>"$results" || true
load_keyfall=$(cut -d' ' -f1-3 /proc/loadavg)
stop_pid "$game"
game=""

say "floor program: $samples key presses"
"$floor" key </dev/null >"$work/floor.log" 2>&1 &
game=$!
"$key_latency" --name floor --region 100,20,30,40 "Repaint floor" "$characters" "$samples" >>"$results" || true
stop_pid "$game"
game=""

cat "$results"
get() { awk -v k="$1" '$1 == k {v = $2} END {print (v == "" ? "n/a" : v)}' "$results"; }
{
  echo
  echo "Key press to the first pixels at the X server, Xvfb 1024x768, sound: ${sound[*]:-null sink}"
  for p in keyfall floor; do
    printf '%-8s median %8s  p99 %8s  max %8s ms  (%s samples, %s presses uncounted)\n' "$p" \
      "$(get latency_${p}_median)" "$(get latency_${p}_p99)" "$(get latency_${p}_max)" \
      "$(get latency_${p}_samples)" "$(get latency_${p}_uncounted)"
  done
  echo "Load average before: $load_before; after Keyfall: $load_keyfall; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} >&2
