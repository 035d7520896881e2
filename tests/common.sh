# Shared by the desktop and end-to-end tests: a scratch folder, processes that die with the test, an X server
# of our own, pixel probes. Sourced, not run.
set -euo pipefail

work=$(mktemp -d)
pids=()
# Commands run at exit before the processes are stopped (a null sink to unload, say).
at_exit=()
cleanup() {
  local command pid
  for command in "${at_exit[@]}"; do eval "$command" >/dev/null 2>&1 || true; done
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "${KEEP_WORK:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

# The session's sound server is found through these; remember them before the scratch
# folders below take their place.
session_runtime=${XDG_RUNTIME_DIR:-}
session_cookie=${PULSE_COOKIE:-${XDG_CONFIG_HOME:-${HOME:-/nonexistent}/.config}/pulse/cookie}

export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_SCALE_FACTOR

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_xvfb WIDTHxHEIGHT [DEPTH]: a fresh X server, of 24-bit colour unless DEPTH says
# otherwise, on a display number it picks itself, exported as DISPLAY.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/xvfb.sh"

# The game's panel on a 1024 x 768 screen: its top-left corner, a click on a point of the
# screen, and a click on VIA (DA CAPO while a game runs).
panel_x=190 panel_y=599
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
click_start() { click $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)); }

# use_records: the program records into a data folder of the test's own, $db; `query SQL`
# reads it, and `wait_for SECONDS SQL` until the answer is not empty (the records' writer is a
# thread of its own, and a busy machine may be slow to get to it).
use_records() {
  export XDG_DATA_HOME=$work/data
  db=$XDG_DATA_HOME/Keyfall/keyfall.sqlite
  command -v sqlite3 >/dev/null || fail "sqlite3 is needed to read the records"
}
query() { sqlite3 -readonly "$db" "$1"; }
wait_for() {
  local seconds=$1 sql=$2 answer=""
  for _ in $(seq $((seconds * 5))); do
    [ -s "$db" ] && answer=$(query "$sql" 2>/dev/null || true)
    [ -n "$answer" ] && { echo "$answer"; return; }
    sleep 0.2
  done
  return 1
}

# use_sound: a sound server for the program, playing into a null sink of our own, which is
# the program's output (PULSE_SINK) and whose monitor a test may record ($sound_sink.monitor).
# The session's server (PulseAudio, or PipeWire's PulseAudio service) if it answers, with the
# sink loaded into it for the length of the test, so nothing reaches the speakers; else a
# private PulseAudio daemon with only that sink and a socket in the scratch folder (no
# configuration of the system's, so no hardware is opened); else the test is skipped with
# status 77, never passed. No script installs a sound server.
sound_sink=keyfall_null_$$
use_sound() {
  unset PULSE_SINK PULSE_SOURCE
  if [ -z "${PULSE_SERVER:-}" ] && [ -n "$session_runtime" ] && [ -S "$session_runtime/pulse/native" ]; then
    export PULSE_SERVER=unix:$session_runtime/pulse/native
  fi
  [ -f "$session_cookie" ] && export PULSE_COOKIE=$session_cookie
  local module
  if [ -n "${PULSE_SERVER:-}" ] && module=$(pactl load-module module-null-sink \
    sink_name="$sound_sink" rate=44100 channels=1 2>/dev/null); then
    at_exit+=("pactl unload-module $module")
  elif command -v pulseaudio >/dev/null; then
    local runtime=$work/pulse
    mkdir -m 700 -p "$runtime" "$work/pulse-state"
    unset PULSE_COOKIE
    PULSE_RUNTIME_PATH=$runtime PULSE_STATE_PATH=$work/pulse-state \
      pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disallow-exit \
      --log-target=stderr --log-level=warning \
      --load="module-null-sink sink_name=$sound_sink rate=44100 channels=1" \
      --load="module-native-protocol-unix socket=$runtime/native auth-anonymous=1" \
      </dev/null >"$work/pulseaudio.log" 2>&1 &
    pids+=($!)
    export PULSE_SERVER=unix:$runtime/native
    # A busy machine may take seconds; a daemon that died will not come back.
    for _ in $(seq 200); do
      pactl info >/dev/null 2>&1 && break
      kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/pulseaudio.log" >&2; fail "PulseAudio did not start"; }
      sleep 0.1
    done
    pactl info >/dev/null 2>&1 || fail "PulseAudio did not answer within 20 s"
  else
    echo "no sound server: skipped"
    exit 77
  fi
  export PULSE_SINK=$sound_sink
}

stop_last() {
  local pid=${pids[-1]}
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  unset 'pids[-1]'
}

# run_for SECONDS LOG COMMAND...: starts COMMAND with stdout and stderr in LOG, and checks
# that it is still running SECONDS later. Leaves it running (its pid is last in pids).
run_for() {
  local seconds=$1 log=$2
  shift 2
  "$@" >"$log" 2>&1 &
  pids+=($!)
  sleep "$seconds"
  kill -0 "${pids[-1]}" 2>/dev/null || { cat "$log" >&2; fail "$1 ended within $seconds s"; }
}

# no_missing_cues LOG: the program found all six cue files.
no_missing_cues() {
  if grep -q 'missing' "$1"; then
    grep 'missing' "$1" >&2
    fail "cue files not found"
  fi
}

# pixel FILE X Y: "R G B" of one pixel, 0 to 255.
pixel() {
  convert "$1" -format "%[fx:round(255*u.p{$2,$3}.r)] %[fx:round(255*u.p{$2,$3}.g)] %[fx:round(255*u.p{$2,$3}.b)]\n" info:
}

# is_pixel FILE X Y MINR MAXR MING MAXG MINB MAXB: whether the pixel lies in that range.
is_pixel() {
  local r g b
  read -r r g b < <(pixel "$1" "$2" "$3")
  ((r >= $4 && r <= $5 && g >= $6 && g <= $7 && b >= $8 && b <= $9))
}

# expect_pixel FILE X Y WHAT MINR MAXR MING MAXG MINB MAXB
expect_pixel() {
  local file=$1 x=$2 y=$3 what=$4
  shift 4
  is_pixel "$file" "$x" "$y" "$@" || fail "$what: pixel ($x,$y) of $(basename "$file") is ($(pixel "$file" "$x" "$y"))"
}

# shoot_when_drawn FILE X Y COMMAND...: runs COMMAND, which writes FILE, until the pixel at
# (X, Y) is the silver of a button face: the window has been painted. A busy machine may
# need a few seconds for the first frame.
shoot_when_drawn() {
  local file=$1 x=$2 y=$3
  shift 3
  for _ in $(seq 20); do
    "$@" && [ -s "$file" ] && is_pixel "$file" "$x" "$y" 170 235 170 235 170 235 && return
    sleep 0.5
  done
  fail "no button drawn at ($x,$y) in $(basename "$file")"
}
