#!/usr/bin/env bash
# A cue really sounds, and a missing cue is only silence.
#
# The test brings its own sound server and screen: a PulseAudio daemon in user mode with
# one null sink (root may run it that way; it only warns), and an Xvfb on a display it
# picks itself. The real program plays into the null sink; parec records the sink's
# monitor while xdotool types a key that hits nothing, and sox looks for the miss cue:
#   1. with the six files beside the executable: silence before the key, the cue's energy
#      after it, sounding for at least 80 % of Miss.wav's own audible length (a cue cut
#      off by the player fails) and not for two cues' worth;
#   2. with the executable copied into a folder without them (and no ../share/keyfall):
#      silence throughout, while the program keeps taking keys and clicks, keeps its
#      window, and reports each missing file at most once on standard error.
# KEEP_WORK=1 keeps the work folder (recordings, logs) for a look afterwards.
set -euo pipefail

exe=$(realpath "$1")
cues_dir=$(dirname "$exe")
work=$(mktemp -d "${TMPDIR:-/tmp}/keyfall-cues.XXXXXX")
pids=()

cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "cue sounds: FAIL: $*" >&2
  for log in "$work"/*.err.log "$work"/parec.log "$work"/keepalive.log "$work"/xvfb.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

for tool in pulseaudio pactl pacat parec sox Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done
[ -f "$cues_dir/Miss.wav" ] || fail "no Miss.wav beside $exe"

# Everything the daemon and the program would keep in a home stays in the work folder.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
export PULSE_RUNTIME_PATH=$work/runtime/pulse PULSE_STATE_PATH=$work/pulse-state
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$PULSE_STATE_PATH"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset PULSE_COOKIE PULSE_SINK PULSE_SOURCE

# ---- the sound server ----------------------------------------------------------------
socket=$work/pulse.socket
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disallow-exit \
  --log-target=stderr --log-level=warning \
  --load="module-null-sink sink_name=keyfall_null rate=44100 channels=1" \
  --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
  </dev/null >"$work/pulseaudio.log" 2>&1 &
pids+=($!)
export PULSE_SERVER=unix:$socket
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "the PulseAudio server did not start"
pactl set-default-sink keyfall_null

# An idle null sink hands its monitor out in chunks of seconds, or not at all. A stream of
# digital silence keeps it running with a short latency, so every recording below gets
# every sample, in time, and adds nothing to what it hears.
pacat --playback --device=keyfall_null --format=s16le --rate=44100 --channels=1 --latency-msec=30 \
  </dev/zero >"$work/keepalive.log" 2>&1 &
pids+=($!)

# ---- the screen ----------------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# ---- helpers -------------------------------------------------------------------------
recorder=
record_start() {
  parec --device=keyfall_null.monitor --format=s16le --rate=44100 --channels=1 --latency-msec=20 \
    >"$work/$1.raw" 2>>"$work/parec.log" &
  recorder=$!
  pids+=($recorder)
}
record_stop() {
  kill -INT "$recorder" 2>/dev/null || true
  wait "$recorder" 2>/dev/null || true
}
# Sets peak, rms and length (seconds) of a recording. An empty one means the monitor
# delivered nothing, which would make "silent" meaningless.
level() {
  local raw=$work/$1.raw
  [ -s "$raw" ] || fail "recording $1 is empty: the monitor delivered nothing"
  read -r peak rms length < <(sox -t raw -r 44100 -e signed -b 16 -c 1 "$raw" -n stat 2>&1 |
    awk '/^Maximum amplitude/ {p=$3} /^RMS +amplitude/ {r=$3} /^Length/ {l=$3} END {print p+0, r+0, l+0}')
}
# Seconds between the first and the last sample above 1 % of full scale, of a recording
# or (with a path) of a wave file.
sounding() {
  local input=(-t raw -r 44100 -e signed -b 16 -c 1 "$work/$1.raw")
  [ -f "$1" ] && input=("$1")
  sox "${input[@]}" -n silence 1 0.002 1% reverse silence 1 0.002 1% reverse stat 2>&1 |
    awk '/^Length/ {s=$3} END {print s+0}'
}
above() { awk -v a="$1" -v b="$2" 'BEGIN {exit !(a > b)}'; }

game=
window=
start_game() {
  "$1" </dev/null >"$work/$2.out.log" 2>"$work/$2.err.log" &
  game=$!
  pids+=($game)
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Keyfall$' | head -n1) || true
  [ -n "$window" ] || fail "$2: the window did not appear"
  # The pointer rests on the playing field, away from the buttons: keys go to the window.
  xdotool mousemove 512 300
  # The cues load when the window is built; give the sound side a moment to settle.
  sleep 1
}
alive() { kill -0 "$game" 2>/dev/null; }
# The field is centred in the 1024 x 768 screen; the panel lies below it.
panel_x=190 panel_y=599
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
click_difficile() { click $((panel_x + 2 + (105 + 2055) / 15 + 8)) $((panel_y + 2 + (30 + 435) / 15 + 8)); }
click_via() { click $((panel_x + 2 + 7605 / 15 + 20)) $((panel_y + 2 + 150 / 15 + 20)); }
screen_sum() { import -window root rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }

# ---- 1. with the cue files: a miss sounds ---------------------------------------------
start_game "$exe" with-cues
record_start before-key
sleep 1
record_stop
level before-key
above "$peak" 0.001 && fail "with cues: not silent before the key (peak $peak)"

record_start after-key
sleep 0.2
xdotool key q
sleep 2
record_stop
level after-key
span=$(sounding after-key)
cue_span=$(sounding "$cues_dir/Miss.wav")
echo "with cues: before the key silent; after it peak $peak, rms $rms over ${length}s, sounding ${span}s (Miss.wav sounds ${cue_span}s)"
above "$peak" 0.05 || fail "with cues: the miss cue was not heard (peak $peak)"
above "$rms" 0.002 || fail "with cues: too little energy after the key (rms $rms)"
# The whole cue, not only its start: a player that stops the stream as soon as it has
# handed over the last sample cuts off what the server still holds.
above "$span" "$(awk -v d="$cue_span" 'BEGIN {print d * 0.8}')" ||
  fail "with cues: only ${span}s of the ${cue_span}s of Miss.wav sounded: the cue was cut off"
above "$(awk -v d="$cue_span" 'BEGIN {print d + 0.3}')" "$span" || fail "with cues: more than one miss cue sounded (${span}s)"
alive || fail "with cues: the program ended"
! grep -qi 'missing' "$work/with-cues.err.log" || fail "with cues: a cue file was reported missing"
kill "$game"
wait "$game" 2>/dev/null || true

# ---- 2. without them: silence, and the game goes on ----------------------------------
bare=$work/bare/bin
mkdir -p "$bare"
cp "$exe" "$bare/keyfall"
for dir in "$bare" "$bare/../share/keyfall"; do
  ls "$dir"/*.wav >/dev/null 2>&1 && fail "cue files found in $dir"
done

start_game "$bare/keyfall" without-cues
record_start silent
before=$(screen_sum)
xdotool type --delay 60 'qwzx'
sleep 0.5
after_keys=$(screen_sum)
# A hard game: its characters land within seconds, each with an explosion cue.
click_difficile
click_via
sleep 5
after_game=$(screen_sum)
xdotool type --delay 60 '3#'
sleep 0.5
record_stop
level silent
echo "without cues: peak $peak, rms $rms over ${length}s of misses, a hard wave and its landings"
above "$peak" 0.001 && fail "without cues: something sounded (peak $peak)"
alive || fail "without cues: the program ended"
xwininfo -id "$window" >/dev/null 2>&1 || fail "without cues: the window is gone"
[ "$before" != "$after_keys" ] || fail "without cues: the misses did not change the score on screen"
[ "$after_keys" != "$after_game" ] || fail "without cues: VIA started nothing on screen"

missing_lines=$(grep -ci 'missing' "$work/without-cues.err.log" || true)
for cue in Explode.wav LaserFire.wav Miss.wav blip.wav sound24.wav sound25.wav; do
  n=$(grep -i 'missing' "$work/without-cues.err.log" | grep -c -F "$cue" || true)
  [ "$n" -le 1 ] || fail "without cues: $cue reported $n times"
done
[ "$missing_lines" -le 6 ] || fail "without cues: $missing_lines lines about missing files"
echo "without cues: $missing_lines 'missing' lines on standard error; still running, window still there"
kill "$game"
wait "$game" 2>/dev/null || true
echo "cue sounds: ok"
