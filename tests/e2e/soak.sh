#!/usr/bin/env bash
# Soak: the real program under its own X server, with sound (a null sink; skipped with status
# 77 where there is no sound server), for SOAK_SECONDS (default 600) of random typing and
# clicks: VIA / DA CAPO, the level options, OPZIONI AVANZATE and, inside the options window,
# its controls and TORNA AL GIOCO; and the typing that piles up cues: bursts of four misses
# every quarter second, a steady 30 keys a second, a key held down with autorepeat.
# SOAK_MIX=bursts keeps to that typing and the game buttons. ESCI only at the very end, which
# must end the program with success. Reports a crash at once, any sanitizer report, and the
# resident memory: the first sample after warm-up against the last. Growth above
# SOAK_GROWTH_LIMIT percent (default 5) fails the run.
#   usage: soak.sh path/to/keyfall
set -euo pipefail
exe=$(realpath "$1")
seconds=${SOAK_SECONDS:-600}
limit=${SOAK_GROWTH_LIMIT:-5}
sample_every=5
# Caches (fonts, glyphs, the explosion frames, sound buffers) fill during the first minutes.
warmup=$((seconds / 5 < 60 ? seconds / 5 : 60))
seed=${SOAK_SEED:-$RANDOM}
RANDOM=$seed

mix=${SOAK_MIX:-all}

source "$(dirname "$0")/../common.sh"
use_sound
start_xvfb 1024x768

"$exe" >"$work/out.log" 2>&1 &
game=$!
pids+=($game)
xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null

# Screen 1024x768: the field (644x430) is centred, the panel (644x73) lies right below it;
# controls sit 2 px inside their box's border, at their twips / 15.
field_x=190; field_y=169
panel_x=190; panel_y=599
at() { echo "$(($1 + 2 + $3 / 15 + $5 / 30)) $(($2 + 2 + $4 / 15 + $6 / 30))"; } # centre of a control
start=$(at $panel_x $panel_y 7605 150 870 765)
advanced=$(at $panel_x $panel_y 3420 150 1320 765)
exit_button=$(at $panel_x $panel_y 8610 150 855 765)
frame_x=$((panel_x + 2 + 105 / 15)); frame_y=$((panel_y + 2 + 30 / 15))
levels=("$((frame_x + 135 / 15 + 12)) $((frame_y + 435 / 15 + 8))"
        "$((frame_x + 1095 / 15 + 12)) $((frame_y + 435 / 15 + 8))"
        "$((frame_x + 2055 / 15 + 12)) $((frame_y + 435 / 15 + 8))")
close_options=$(at $field_x $field_y 7740 5580 1770 720)

alive() {
  if ! kill -0 "$game" 2>/dev/null; then
    wait "$game" && status=0 || status=$?
    echo "soak: the program ended by itself after $(($(date +%s) - began)) s and about $keys_sent keys, status $status (seed $seed)"
    tail -n 40 "$work/out.log"
    exit 1
  fi
}
keys_sent=0
click() { xdotool mousemove $1 click 1; }
keys=(a b c d e f g h i j k l m n o p q r s t u v w x y z 0 1 2 3 4 5 6 7 8 9
      A B C D E F G H I J K L M N O P Q R S T U V W X Y Z
      space Return Escape BackSpace quotedbl shift+a shift+z KP_1 KP_7 apostrophe)
type_some() {
  local n=$((1 + RANDOM % 8)) batch=()
  for _ in $(seq $n); do batch+=("${keys[RANDOM % ${#keys[@]}]}"); done
  xdotool key --delay $((RANDOM % 60)) "${batch[@]}"
  keys_sent=$((keys_sent + n))
}
# Digits and signs: never in the default key set, so each one is a miss with its cue.
misses=(1 2 3 4 5 6 7 8 9 0 comma period minus slash)
miss() { echo "${misses[RANDOM % ${#misses[@]}]}"; }
# Two seconds of four misses at once, every quarter second.
bursts() {
  for _ in $(seq 8); do
    xdotool key --delay 0 "$(miss)" "$(miss)" "$(miss)" "$(miss)"
    keys_sent=$((keys_sent + 4))
    sleep 0.25
  done
}
# Three seconds at 30 keys a second, letters and misses mixed.
steady() {
  local batch=()
  for _ in $(seq 90); do batch+=("${keys[RANDOM % 36]}"); done
  xdotool key --delay 33 "${batch[@]}"
  keys_sent=$((keys_sent + 90))
}
# A key held for a second and a half: the X server repeats it, about 25 times a second.
held() {
  local key
  key=$(miss)
  xdotool keydown "$key"
  sleep 1.5
  xdotool keyup "$key"
  keys_sent=$((keys_sent + 35))
}
options_visit() {
  click "$advanced"
  sleep 0.3
  # Anywhere inside the options window, which lies over the field: bars, options, apply.
  for _ in $(seq $((RANDOM % 6))); do
    xdotool mousemove $((field_x + 10 + RANDOM % 620)) $((field_y + 10 + RANDOM % 360)) click 1
    sleep 0.1
  done
  click "$close_options"
  sleep 0.3
}

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$game/status"; }
# The options window once before the warm-up's sample: what its first opening makes once and
# keeps (about 3 MB at this size, flat afterwards over three minutes of play) is not growth.
[ "$mix" = bursts ] || options_visit
began=$(date +%s)
next_sample=$began
first=""
last=""
samples=0
actions=0
while [ $(($(date +%s) - began)) -lt "$seconds" ]; do
  alive
  now=$(date +%s)
  if [ "$now" -ge "$next_sample" ]; then
    last=$(rss)
    samples=$((samples + 1))
    echo "$((now - began)) $last" >>"$work/rss"
    if [ -z "$first" ] && [ $((now - began)) -ge "$warmup" ]; then first=$last; fi
    next_sample=$((now + sample_every))
  fi
  roll=$((RANDOM % 100))
  if [ "$mix" = bursts ]; then
    if [ $roll -lt 50 ]; then bursts
    elif [ $roll -lt 70 ]; then steady
    elif [ $roll -lt 85 ]; then held
    elif [ $roll -lt 93 ]; then click "$start"
    else click "${levels[RANDOM % 3]}"; fi
  elif [ $roll -lt 55 ]; then type_some
  elif [ $roll -lt 62 ]; then bursts
  elif [ $roll -lt 66 ]; then steady
  elif [ $roll -lt 70 ]; then held
  elif [ $roll -lt 80 ]; then click "$start"
  elif [ $roll -lt 90 ]; then click "${levels[RANDOM % 3]}"
  elif [ $roll -lt 94 ]; then options_visit
  else sleep 0.$((RANDOM % 10)); fi
  actions=$((actions + 1))
  sleep 0.0$((RANDOM % 10))
done
alive
last=$(rss)
echo "$(($(date +%s) - began)) $last" >>"$work/rss"
[ -n "$first" ] || first=$last

# ESCI, and only now: the program must end at once, with success.
click "$exit_button"
for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$game" 2>/dev/null; then echo "soak: ESCI did not end the program (seed $seed)"; exit 1; fi
wait "$game" && status=0 || status=$?

growth=$(awk -v a="$first" -v b="$last" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
peak=$(sort -k2 -n "$work/rss" | tail -n1 | cut -d' ' -f2)
by_minute=$(awk -v every=$((60 / sample_every)) 'NR % every == 1 { printf " %s", $2 }' "$work/rss")
echo "soak: ${seconds} s, $actions actions, about $keys_sent keys, no crash; resident memory ${first} kB after ${warmup} s warm-up," \
     "${last} kB at the end (growth ${growth} %, peak ${peak} kB, $samples samples); exit status $status (seed $seed)"
echo "soak: resident memory minute by minute (kB):$by_minute"
[ "$status" -eq 0 ] || { echo "soak: ESCI ended the program with status $status"; tail -n 40 "$work/out.log"; exit 1; }
if grep -E -q 'runtime error|Sanitizer' "$work/out.log"; then
  grep -E -A 20 'runtime error|Sanitizer' "$work/out.log" | head -n 60
  echo "soak: a sanitizer reported (seed $seed)"
  exit 1
fi
if awk -v g="$growth" -v l="$limit" 'BEGIN { exit !(g > l) }'; then
  echo "soak: resident memory grew by ${growth} %, above ${limit} %"
  exit 1
fi
