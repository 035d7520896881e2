#!/usr/bin/env bash
# A cue really sounds, and a missing cue is only silence.
#
# The program plays into a null sink of the test's own (tests/common.sh: the session's sound
# server, else a private PulseAudio; skipped with status 77 without either) on an Xvfb of its
# own; parec records the sink's monitor while xdotool types a key that hits nothing, and sox
# looks for the miss cue:
#   1. with the six files beside the executable: silence before the key, the cue's energy
#      after it, sounding for at least 80 % of Miss.wav's own audible length (a cue cut
#      off by the player fails) and not for two cues' worth;
#   2. with the executable copied into a folder without them (and no ../share/keyfall):
#      silence throughout, while the program keeps taking keys and clicks, keeps its
#      window, and reports each missing file at most once on standard error;
#   3. with three cues replaced by the kinds sound editors write (24-bit 48 kHz stereo,
#      32-bit float, 8 kHz mono), each a tone of its own: no complaint at all on standard
#      error, and each tone heard in the recording when its cue plays.
# KEEP_WORK=1 keeps the work folder (recordings, logs) for a look afterwards.
set -euo pipefail

exe=$(realpath "$1")
cues_dir=$(dirname "$exe")
source "$(dirname "$0")/../common.sh"

fail() {
  echo "cue sounds: FAIL: $*" >&2
  for log in "$work"/*.err.log "$work"/parec.log "$work"/keepalive.log "$work"/pulseaudio.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

for tool in pactl pacat parec sox Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done
[ -f "$cues_dir/Miss.wav" ] || fail "no Miss.wav beside $exe"

use_sound

# An idle null sink hands its monitor out in chunks of seconds, or not at all. A stream of
# digital silence keeps it running with a short latency, so every recording below gets
# every sample, in time, and adds nothing to what it hears.
pacat --playback --device="$sound_sink" --format=s16le --rate=44100 --channels=1 --latency-msec=30 \
  </dev/zero >"$work/keepalive.log" 2>&1 &
pids+=($!)

start_xvfb 1024x768
unset QT_QPA_PLATFORM

# ---- helpers -------------------------------------------------------------------------
recorder=
record_start() {
  parec --device="$sound_sink.monitor" --format=s16le --rate=44100 --channels=1 --latency-msec=20 \
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

# ---- 3. the kinds sound editors write --------------------------------------------------
# RMS of one frequency band of a recording.
band() {
  sox -t raw -r 44100 -e signed -b 16 -c 1 "$work/$1.raw" -n sinc "$2" stat 2>&1 |
    awk '/^RMS +amplitude/ {r=$3} END {print r+0}'
}
kinds=$work/kinds/bin
mkdir -p "$kinds"
cp "$exe" "$kinds/keyfall"
sox -n -r 48000 -c 2 -b 24 "$kinds/Miss.wav" synth 0.4 sine 1500 vol 0.5
sox -n -r 44100 -c 1 -e floating-point -b 32 "$kinds/Explode.wav" synth 0.4 sine 3000 vol 0.5
sox -n -r 8000 -c 1 -e unsigned-integer -b 8 "$kinds/blip.wav" synth 0.25 sine 500 vol 0.5
for cue in LaserFire.wav sound24.wav sound25.wav; do
  sox -n -r 44100 -c 1 -b 16 "$kinds/$cue" trim 0 0.1
done
for cue in Miss Explode blip; do echo "kinds: $cue.wav is $(soxi -r "$kinds/$cue.wav") Hz, $(soxi -c "$kinds/$cue.wav") channels, $(soxi -e "$kinds/$cue.wav" | tr -d '\n'), $(soxi -b "$kinds/$cue.wav") bits"; done

start_game "$kinds/keyfall" kinds
record_start kinds-miss
sleep 0.2
xdotool key q
sleep 1.5
record_stop
level kinds-miss
miss_band=$(band kinds-miss 1400-1600) explode_band=$(band kinds-miss 2900-3100) blip_band=$(band kinds-miss 450-550)
echo "kinds, a miss: rms at 1500 Hz $miss_band, 3000 Hz $explode_band, 500 Hz $blip_band"
above "$miss_band" 0.01 || fail "kinds: the 24-bit 48 kHz stereo miss cue was not heard"
above 0.001 "$explode_band" || fail "kinds: the explosion cue sounded on a miss"
above 0.001 "$blip_band" || fail "kinds: the tally cue sounded on a miss"

# A hard wave lands within seconds (the float explosion cue), and its tally blips (8 kHz).
record_start kinds-game
click_difficile
click_via
sleep 8
record_stop
level kinds-game
explode_band=$(band kinds-game 2900-3100) blip_band=$(band kinds-game 450-550)
echo "kinds, a hard wave: rms at 3000 Hz $explode_band, 500 Hz $blip_band"
above "$explode_band" 0.005 || fail "kinds: the 32-bit float explosion cue was not heard"
above "$blip_band" 0.005 || fail "kinds: the 8 kHz mono tally cue was not heard"
alive || fail "kinds: the program ended"
if [ -s "$work/kinds.err.log" ]; then
  fail "kinds: the program complained: $(head -n 5 "$work/kinds.err.log")"
fi
kill "$game"
wait "$game" 2>/dev/null || true
echo "cue sounds: ok"
