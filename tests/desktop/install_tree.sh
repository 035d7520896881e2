#!/usr/bin/env bash
# `cmake --install` under an unusual prefix, staged in DESTDIR: every file lands under the
# prefix, the launcher's icon exists at each size, and the installed program finds its cue
# files in ../share/keyfall and its statistics module in ../lib/keyfall. Taking either away
# makes it say so: the checks are live.
source "$(dirname "$0")/../common.sh"
build=$1
prefix=/opt/keyfall-test
stage=$work/stage

DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }

outside=$(find "$stage" \( -type f -o -type l \) ! -path "$stage$prefix/*")
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

root=$stage$prefix
expected=(
  bin/keyfall
  lib/keyfall/keyfall-stats.so
  share/applications/org.keyfall.Keyfall.desktop
  share/metainfo/org.keyfall.Keyfall.metainfo.xml
  share/man/man6/keyfall.6.gz
  share/doc/keyfall/copyright
)
for cue in Explode LaserFire Miss blip sound24 sound25; do expected+=("share/keyfall/$cue.wav"); done
for size in 16 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/org.keyfall.Keyfall.png
  expected+=("$icon")
  [ "$(identify -format '%wx%h' "$root/$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
for file in "${expected[@]}"; do [ -f "$root/$file" ] || fail "not installed: $file"; done
count=$(find "$root" -type f | wc -l)
[ "$count" -eq "${#expected[@]}" ] || fail "$count files installed, ${#expected[@]} expected: $(find "$root" -type f)"
[ -x "$root/bin/keyfall" ] || fail "bin/keyfall is not executable"
gzip -t "$root/share/man/man6/keyfall.6.gz" || fail "man page is not gzip"

export QT_QPA_PLATFORM=offscreen
run_for 3 "$work/run.log" "$root/bin/keyfall"
no_missing_cues "$work/run.log"
stop_last

# The statistics window opens from the installed module, and without it the program says so.
run_for 3 "$work/stats.log" "$root/bin/keyfall" --stats
stop_last
if grep -q 'statistics window cannot open' "$work/stats.log"; then cat "$work/stats.log"; fail "the installed module was not found"; fi
mv "$root/lib/keyfall/keyfall-stats.so" "$work/"
status=0
timeout 60 "$root/bin/keyfall" --stats >"$work/stats2.log" 2>&1 || status=$?
[ "$status" = 1 ] || { cat "$work/stats2.log"; fail "--stats without its module ended with $status"; }
grep -q "statistics window cannot open: .*$prefix/bin/../lib/keyfall/keyfall-stats.so" "$work/stats2.log" ||
  { cat "$work/stats2.log"; fail "a missing module went unreported"; }

rm "$root/share/keyfall/Miss.wav"
run_for 1 "$work/run2.log" "$root/bin/keyfall"
# The cues are read once the window has shown its first frame, later on a busy machine.
for _ in $(seq 150); do grep -q 'sound Miss.wav is missing' "$work/run2.log" && break; sleep 0.2; done
grep -q 'sound Miss.wav is missing' "$work/run2.log" || fail "a missing cue file went unreported"
echo "install tree: ok"
