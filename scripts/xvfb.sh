# start_xvfb WIDTHxHEIGHT [DEPTH [XVFB OPTION...]]: a fresh X server of that size (colour depth
# 24 unless given) on a display number it picks itself, exported as DISPLAY. Sourced by the
# scripts that show the real program on a screen of their own; they provide $work, a scratch
# folder, and the array pids, whose processes they stop when they end.
start_xvfb() {
  local size=$1 depth=${2:-24}
  shift $(($# < 2 ? $# : 2))
  local number=$work/display-$RANDOM
  Xvfb -displayfd 3 -screen 0 "${size}x${depth}" -nolisten tcp "$@" 3>"$number" </dev/null >>"$work/xvfb.log" 2>&1 &
  pids+=($!)
  # A busy machine may take a few seconds.
  for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.1; done
  if [ ! -s "$number" ]; then
    echo "Xvfb ${size}x${depth} did not start" >&2
    return 1
  fi
  export DISPLAY=:$(head -n1 "$number")
}
