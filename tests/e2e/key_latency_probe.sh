#!/usr/bin/env bash
# The key-to-pixels probe of `make bench` against the floor program under an X server of its
# own: a key the program answers where the probe looks is a sample; a response that also
# reaches the excepted region is left out; a figure is a time, not a count of something else.
set -euo pipefail
probe=$(realpath "$1")
floor=$(realpath "$2")
source "$(dirname "$0")/../common.sh"
start_xvfb 1024x768

"$floor" key </dev/null >"$work/floor.log" 2>&1 &
pids+=($!)
xdotool search --sync --onlyvisible --name '^Repaint floor$' >/dev/null

# The letter lies at 100,20 (30 x 40) in the window.
KEYFALL_BENCH_PRESSES=1 "$probe" --name counted --region 100,20,30,40 --limit 60 "Repaint floor" abc 4 \
  >"$work/counted" 2>"$work/presses"
value() { awk -v k="$1" '$1 == k {print $2}' "$2"; }
[ "$(value latency_counted_samples "$work/counted")" = 4 ] || { cat "$work/counted"; fail "4 answered keys were not 4 samples"; }
[ "$(value latency_counted_uncounted "$work/counted")" = 0 ] || { cat "$work/counted"; fail "an answered key was left out"; }
awk '$1 ~ /^latency_counted_(median|max)$/ && !($2 >= 0 && $2 < 10000) {bad = 1} END {exit bad}' "$work/counted" ||
  { cat "$work/counted"; fail "a figure is no time in milliseconds"; }

# Every response also reaches the excepted region: nothing is counted, and the probe gives up
# at its limit with what it has.
KEYFALL_BENCH_PRESSES=1 "$probe" --name excepted --region 100,20,30,40 --except 90,10,50,60 --limit 5 \
  "Repaint floor" abc 4 >"$work/excepted" 2>>"$work/presses" || true
[ "$(value latency_excepted_samples "$work/excepted")" = 0 ] || { cat "$work/excepted"; fail "a response in the excepted region counted"; }
[ "$(value latency_excepted_uncounted "$work/excepted")" -gt 0 ] || { cat "$work/excepted"; fail "no press was made"; }

# The figures of runs taken in rounds come from the presses each run lists: those of the two
# runs above, with the lines about the time limit among them, are the counted run's samples
# and every press the two left out.
"$probe" --name counted --figures "$work/presses" >"$work/gathered"
diff <(grep -v _uncounted "$work/counted") <(grep -v _uncounted "$work/gathered") ||
  fail "the listed presses give other figures than the run"
[ "$(value latency_counted_uncounted "$work/gathered")" = "$(value latency_excepted_uncounted "$work/excepted")" ] ||
  { cat "$work/gathered"; fail "the presses left out were not all gathered"; }
echo "probe: $(tr '\n' ' ' <"$work/counted")"
