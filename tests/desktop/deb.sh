#!/usr/bin/env bash
# The Debian package, built by dpkg-buildpackage as `make package` builds it, in a scratch
# folder: the game lies in /usr/games, the debugging symbols in their own package, lintian
# finds no error, no warning and no missing hardening, and unpacked into a scratch root the
# program starts offscreen, finds its cue files and runs until stopped.
source "$(dirname "$0")/../common.sh"
src=$1 version=$2
# The core's tests run in `make test` already.
DEB_BUILD_OPTIONS=nocheck "$src/scripts/package" "$work/out" >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log"; fail "dpkg-buildpackage"; }
deb=$work/out/keyfall_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"
[ -f "$work/out/keyfall-dbgsym_${version}_amd64.deb" ] || fail "no -dbgsym package: $(ls "$work/out")"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libpulse0 libsndfile1 libc6 fonts-dejavu-core fonts-liberation2 qt6-qpa-plugins; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "package is not in section games"

dpkg-deb -c "$deb" >"$work/contents"
for file in usr/games/keyfall usr/lib/x86_64-linux-gnu/keyfall/keyfall-stats.so usr/share/keyfall/Explode.wav usr/share/applications/org.keyfall.Keyfall.desktop \
            usr/share/metainfo/org.keyfall.Keyfall.metainfo.xml usr/share/man/man6/keyfall.6.gz \
            usr/share/icons/hicolor/256x256/apps/org.keyfall.Keyfall.png usr/share/doc/keyfall/copyright \
            usr/share/doc/keyfall/changelog.gz; do
  grep -q " \./$file\$" "$work/contents" || fail "package lacks /$file"
done
if grep -v ' \./usr/' "$work/contents" | grep -qv ' \./$'; then fail "package installs outside /usr"; fi
if grep -q ' \./usr/bin/' "$work/contents"; then fail "the game is in /usr/bin, not /usr/games"; fi

# Informational tags are shown too, for the hardening ones.
lintian -I --pedantic --fail-on error,warning "$work/out/keyfall_${version}_amd64.changes" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian"; }
if grep -E 'hardening-|binary-has-unneeded-section' "$work/lintian.log"; then fail "binary not hardened or not stripped"; fi

dpkg-deb -x "$deb" "$work/root"
export QT_QPA_PLATFORM=offscreen
run_for 3 "$work/run.log" "$work/root/usr/games/keyfall" --no-sound
stop_last
run_for 3 "$work/run.log" "$work/root/usr/games/keyfall"
no_missing_cues "$work/run.log"
stop_last
# The statistics window comes from the package's own module, found from /usr/games.
run_for 3 "$work/stats.log" "$work/root/usr/games/keyfall" --stats
if grep -q 'statistics window cannot open' "$work/stats.log"; then cat "$work/stats.log"; fail "the packaged module was not found"; fi
echo "package: ok"
