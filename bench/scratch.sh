# Shared by the benchmark scripts that start programs: a scratch folder of their own, and the
# programs they started stopped at exit, the one in $game first (politely, then for good).
# Sourced, not run, after setting scratch_name.
# shellcheck shell=bash
work=$(mktemp -d "${TMPDIR:-/tmp}/keyfall-${scratch_name:?}.XXXXXX")
pids=()
game=""
stop_pid() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 100); do [ -e "/proc/$1" ] || return 0; sleep 0.05; done
  kill -9 "$1" 2>/dev/null || true
}
cleanup() {
  [ -n "$game" ] && stop_pid "$game"
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# null_sink NAME: when PulseAudio is installed, a private server of its own with one null sink
# NAME, for the program's cues to play into as on a desktop (nothing reaches a speaker);
# succeeds once it answers.
null_sink() {
  command -v pulseaudio >/dev/null && command -v pactl >/dev/null || return 1
  export PULSE_RUNTIME_PATH=$work/runtime/pulse PULSE_STATE_PATH=$work/pulse-state
  mkdir -p "$PULSE_STATE_PATH"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-target=stderr --log-level=error \
    --load="module-null-sink sink_name=$1" \
    --load="module-native-protocol-unix socket=$work/pulse.socket auth-anonymous=1" \
    </dev/null >"$work/pulseaudio.log" 2>&1 &
  pids+=($!)
  export PULSE_SERVER=unix:$work/pulse.socket
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
