#!/usr/bin/env bash
# The launcher, the AppStream metainfo and the man page pass their tools' checks, and all
# three name the version being built.
source "$(dirname "$0")/../common.sh"
src=$1 version=$2
desktop=$src/packaging/org.keyfall.Keyfall.desktop
metainfo=$src/packaging/org.keyfall.Keyfall.metainfo.xml
man_page=$src/packaging/keyfall.6

desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# groff's own warnings, as lintian asks for them.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"

grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "^\.TH KEYFALL 6 .*\"Keyfall $version\"" "$man_page" || fail "man page is not for $version"
grep -qx 'Exec=keyfall' "$desktop" || fail "launcher does not start keyfall"
grep -q '<binary>keyfall</binary>' "$metainfo" || fail "metainfo does not provide keyfall"
echo "metadata: ok"
