#!/usr/bin/env bash
# Key press to pixels, Keyfall and the floor program side by side, each on an Xvfb of its own:
#   latency.sh <keyfall> <bench_key_latency> <bench_repaint_floor>
# Environment: KEYFALL_LATENCY_SAMPLES (presses counted for each program, default 200);
# KEYFALL_LATENCY_ROUNDS (default 10): the samples are taken in that many rounds, each a share
# of Keyfall's and then the same share of the floor program's, so that whatever else the machine
# does in the meantime falls on both alike; KEYFALL_BENCH_PRESSES=1 lists every press on
# standard error.
#
# Keyfall plays a hard game whose letters never fall (speeds 0), drawn from the 18 characters
# a to r, for more rounds than the measurement needs. Each of those keys is pressed in turn:
# a key that hits puts a star where its letter waits in the top row of the field, and that is
# a sample; a key that misses changes the total in the panel and is left out, as is anything
# pressed while the tally of a cleared wave changes the field on its own. The floor program
# (bench_repaint_floor key) repaints its one letter for every key. Both are timed by
# bench_key_latency from the XTEST press to the first damage where the change is expected.
# Prints the "name value" lines of both on standard output, over all the rounds, then a summary
# on standard error.
set -euo pipefail

keyfall=$(realpath "$1")
key_latency=$(realpath "$2")
floor=$(realpath "$3")
samples=${KEYFALL_LATENCY_SAMPLES:-200}
rounds=${KEYFALL_LATENCY_ROUNDS:-10}
((rounds >= 1 && rounds <= samples)) || { echo "latency: 1 to $samples rounds, not $rounds" >&2; exit 2; }
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
floor_display=$DISPLAY
start_xvfb 1024x768
keyfall_display=$DISPLAY

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

say "Keyfall: $samples hits, on a hard wave of letters at rest; the floor program: $samples key presses; in $rounds rounds"
"$keyfall" "${sound[@]}" </dev/null >"$work/keyfall.log" 2>&1 &
game=$!
timeout 20 xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null
sleep 2
xdotool mousemove $((panel_x + 2 + (105 + 2055) / 15 + 8)) $((panel_y + 2 + (30 + 435) / 15 + 8)) click 1 # Difficile
sleep 0.3
xdotool mousemove $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)) click 1 # VIA
# The pointer off the buttons, so that none changes under it while the keys are pressed.
xdotool mousemove 0 0

DISPLAY=$floor_display "$floor" key </dev/null >"$work/floor.log" 2>&1 &
pids+=($!)
DISPLAY=$floor_display timeout 20 xdotool search --sync --onlyvisible --name '^Repaint floor$' >/dev/null

# Each round presses until it has its share (the first rounds take what does not divide
# evenly). Every press is listed, and the figures are made from all of them at the end.
for ((round = 0; round < rounds; round++)); do
  share=$((samples / rounds + (round < samples % rounds ? 1 : 0)))
  DISPLAY=$keyfall_display KEYFALL_BENCH_PRESSES=1 "$key_latency" --name keyfall --region "$top_row" \
    --except "$panel" --limit $((share * 5)) Keyfall "$characters" "$share" >/dev/null 2>>"$work/keyfall.presses" || true
  DISPLAY=$floor_display KEYFALL_BENCH_PRESSES=1 "$key_latency" --name floor --region 100,20,30,40 \
    "Repaint floor" "$characters" "$share" >/dev/null 2>>"$work/floor.presses" || true
done

# The figures of all the rounds, from the presses listed.
"$key_latency" --name keyfall --figures "$work/keyfall.presses" >"$results" || true
"$key_latency" --name floor --figures "$work/floor.presses" >>"$results" || true
if [ -n "${KEYFALL_BENCH_PRESSES:-}" ]; then
  cat "$work/keyfall.presses" "$work/floor.presses" >&2
fi

cat "$results"
get() { awk -v k="$1" '$1 == k {v = $2} END {print (v == "" ? "n/a" : v)}' "$results"; }
{
  echo
  echo "Key press to the first pixels at the X server, Xvfb 1024x768 each, sound: ${sound[*]:-null sink}, $rounds rounds"
  for p in keyfall floor; do
    printf '%-8s median %8s  p99 %8s  max %8s ms  (%s samples, %s presses uncounted)\n' "$p" \
      "$(get latency_${p}_median)" "$(get latency_${p}_p99)" "$(get latency_${p}_max)" \
      "$(get latency_${p}_samples)" "$(get latency_${p}_uncounted)"
  done
  echo "Load average before: $load_before; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} >&2
