#!/usr/bin/env bash
# Keyfall beside the floor program, on one Xvfb, alternating runs:
#   side_by_side.sh <keyfall> <bench_first_content> <bench_repaint_floor>
# Environment: KEYFALL_SIDE_SCREEN (default 1024x768), KEYFALL_SIDE_SCALE (QT_SCALE_FACTOR for
# Keyfall and the floor, default 1), KEYFALL_SIDE_ROUNDS (default 3), KEYFALL_BENCH_CPU_SECONDS
# (default 10), KEYFALL_SIDE_PREFIX (the names' prefix, default "side").
#
# Each round starts Keyfall once and measures, in windows of the same length: the idle window
# (no game), a hard wave whose letters stand still (fall speed 0) and a hard wave in which
# every letter moves on every tick (10 to 14 twips, so none lands within the window). Then the
# floor program for one window: one letter falling at 40 Hz in a bare Qt Widgets window, the
# least a frame costs in the toolkit the game is built with; and once more with 18 letters
# falling together, the most the hard wave moves, so the game's own share of its frame shows. CPU is the time on a processor of
# every thread of the process, and of the X server over the same window
# (/proc/<pid>/task/*/schedstat, in nanoseconds); memory is /proc/<pid>/smaps_rollup at the end
# of the moving wave and of the floor's window. Medians of the rounds are printed as
# "name value" lines on standard output, then a table on standard error.
set -euo pipefail

keyfall=$(realpath "$1")
first_content=$(realpath "$2")
floor=$(realpath "$3")
screen=${KEYFALL_SIDE_SCREEN:-1024x768}
scale=${KEYFALL_SIDE_SCALE:-1}
rounds=${KEYFALL_SIDE_ROUNDS:-3}
seconds=${KEYFALL_BENCH_CPU_SECONDS:-10}
prefix=${KEYFALL_SIDE_PREFIX:-side}

say() { echo "side-by-side: $*" >&2; }

scratch_name=side
source "$(dirname "$0")/scratch.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Keyfall"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR

# A black root window, so that the first non-black pixel is the program's first content.
source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb "$screen" 24 -br
xvfb=${pids[-1]}

# Keyfall plays its cues into a null sink of its own, as on a desktop.
null_sink side_null || true

results=$work/results
: >"$results"
put() { echo "$1 $2" >>"$results"; }

# Nanoseconds on a processor, all threads of a process together. Printed as a float: mawk,
# Debian's awk, caps "%d" at 2^31, which the X server's total passes after 2.1 s.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'; }
now_ns() { local t=$EPOCHREALTIME; echo "${t/./}000"; }
# measure PREFIX: CPU of the game and of the X server over one window.
measure() {
  local g0 x0 t0 g1 x1 t1
  g0=$(cpu_ns "$game") x0=$(cpu_ns "$xvfb") t0=$(now_ns)
  sleep "$seconds"
  g1=$(cpu_ns "$game") x1=$(cpu_ns "$xvfb") t1=$(now_ns)
  put "$1_game" "$(awk -v c=$((g1 - g0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.3f", 100 * c / t}')"
  put "$1_x" "$(awk -v c=$((x1 - x0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.3f", 100 * c / t}')"
  put "$1_load" "$(cut -d' ' -f1 /proc/loadavg)"
  [ -z "${KEYFALL_SIDE_SHOTS:-}" ] || import -window root "$KEYFALL_SIDE_SHOTS/$1-$round.png"
}
memory() {
  local key
  for key in Rss Pss Pss_Anon Pss_File; do
    put "$1_$key" "$(awk -v k="$key:" '$1 == k {print $2}' "/proc/$game/smaps_rollup")"
  done
}
# launch PREFIX COMMAND...: starts it through the first-content probe; sets game.
launch() {
  local prefix=$1
  shift
  "$first_content" 30 "$@" >"$work/launch" 2>>"$work/launch.log"
  game=$(awk '$1 == "pid" {print $2}' "$work/launch")
  put "$prefix"_first_content "$(awk '$1 == "first_content_ms" {print $2}' "$work/launch")"
}

read -r width height < <(tr x ' ' <<<"$screen")
# Keyfall's layout in its logical pixels (see FrmMain.h), clicked in the screen's pixels.
click_logical() {
  xdotool mousemove "$(awk -v v="$1" -v s="$scale" 'BEGIN {printf "%d", v * s}')" \
    "$(awk -v v="$2" -v s="$scale" 'BEGIN {printf "%d", v * s}')" click 1
}
logical_w=$(awk -v v="$width" -v s="$scale" 'BEGIN {printf "%d", v / s}')
logical_h=$(awk -v v="$height" -v s="$scale" 'BEGIN {printf "%d", v / s}')
field_x=$(((logical_w - 9660 / 15) / 2)) field_y=$(((logical_h - 6450 / 15) / 2))
panel_x=$field_x panel_y=$((field_y + 6450 / 15))
press_start() { click_logical $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)); }
hard_speeds() { printf '[FallRates]\nHardLow=%s\nHardHigh=%s\n' "$1" "$2" >"$XDG_CONFIG_HOME/Keyfall/Keyfall.ini"; }

for round in $(seq "$rounds"); do
  say "round $round of $rounds: Keyfall idle, letters at rest, hard wave (${seconds} s each)"
  hard_speeds 0 0
  launch keyfall env QT_SCALE_FACTOR="$scale" "$keyfall"
  timeout 20 xdotool search --sync --onlyvisible --name '^Keyfall$' >/dev/null
  sleep 2
  measure keyfall_idle
  click_logical $((panel_x + 2 + (105 + 2055) / 15 + 8)) $((panel_y + 2 + (30 + 435) / 15 + 8)) # Difficile
  sleep 0.3
  press_start # VIA
  xdotool mousemove 0 0
  sleep 0.5
  measure keyfall_still
  press_start # DA CAPO
  hard_speeds 10 14
  sleep 0.3
  press_start # VIA, with the settings read again
  xdotool mousemove 0 0
  sleep 0.5
  measure keyfall_hard
  memory keyfall
  stop_pid "$game"
  game=""

  say "round $round of $rounds: one letter at 40 Hz in a bare Qt Widgets window"
  launch floor env QT_SCALE_FACTOR="$scale" "$floor"
  sleep 2
  measure floor
  memory floor
  stop_pid "$game"
  game=""

  say "round $round of $rounds: 18 letters at 40 Hz in the bare window, the hard wave's work"
  launch floor18 env QT_SCALE_FACTOR="$scale" "$floor" 18
  sleep 2
  measure floor18
  stop_pid "$game"
  game=""
done

median() {
  awk -v k="$1" '$1 == k && $2 != "n/a" {print $2}' "$results" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) print "n/a"; else print v[int((NR + 1) / 2)]}'
}
keys=$(awk '{print $1}' "$results" | sort -u)
for key in $keys; do echo "${prefix}_$key $(median "$key")"; done

sum() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN {printf "%.2f", a + b}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "n/a"}'; }
mb() { awk -v k="$(median "$1")" 'BEGIN {printf "%.1f", k / 1024}'; }
kf=$(sum keyfall_hard_game keyfall_hard_x) fl=$(sum floor_game floor_x)
{
  echo
  echo "Keyfall beside the floor program: Xvfb $screen at scale $scale, $rounds rounds of ${seconds} s (medians)"
  printf '%-34s %10s %10s %10s\n' "" "game %" "X %" "sum %"
  for p in keyfall_idle keyfall_still keyfall_hard floor floor18; do
    printf '%-34s %10s %10s %10s\n' "$p" "$(median ${p}_game)" "$(median ${p}_x)" "$(sum ${p}_game ${p}_x)"
  done
  echo "CPU (game + X), Keyfall hard wave / one letter at 40 Hz: $kf / $fl = $(ratio "$kf" "$fl")"
  fl18=$(sum floor18_game floor18_x)
  echo "CPU (game + X), Keyfall hard wave / 18 letters at 40 Hz: $kf / $fl18 = $(ratio "$kf" "$fl18")"
  echo "Keyfall RSS $(mb keyfall_Rss) MB (Pss $(mb keyfall_Pss), anonymous $(mb keyfall_Pss_Anon), files $(mb keyfall_Pss_File));" \
    "floor RSS $(mb floor_Rss) MB (Pss $(mb floor_Pss), anonymous $(mb floor_Pss_Anon), files $(mb floor_Pss_File))"
  echo "First content: Keyfall $(median keyfall_first_content) ms, floor $(median floor_first_content) ms;" \
    "load average $(median keyfall_hard_load) during Keyfall's hard wave"
} >&2
