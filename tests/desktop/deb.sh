#!/usr/bin/env bash
# The Debian package: CPack builds it here, in a scratch folder; dpkg-shlibdeps has found the
# Qt libraries; unpacked into a scratch root, the program starts offscreen, finds its cue
# files and runs until stopped.
source "$(dirname "$0")/../common.sh"
build=$1 version=$2
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/keyfall_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libpulse0 libsndfile1 libc6 fonts-dejavu-core fonts-liberation2 qt6-qpa-plugins; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"

dpkg-deb -c "$deb" >"$work/contents"
for file in usr/bin/keyfall usr/share/keyfall/Explode.wav usr/share/applications/org.keyfall.Keyfall.desktop \
            usr/share/metainfo/org.keyfall.Keyfall.metainfo.xml usr/share/man/man6/keyfall.6.gz \
            usr/share/icons/hicolor/256x256/apps/org.keyfall.Keyfall.png usr/share/doc/keyfall/copyright; do
  grep -q " \./$file\$" "$work/contents" || fail "package lacks /$file"
done
if grep -v ' \./usr/' "$work/contents" | grep -qv ' \./$'; then fail "package installs outside /usr"; fi

dpkg-deb -x "$deb" "$work/root"
export QT_QPA_PLATFORM=offscreen
run_for 3 "$work/run.log" "$work/root/usr/bin/keyfall"
no_missing_cues "$work/run.log"
echo "package: ok"
