#!/usr/bin/env bash
# The launcher, the AppStream metainfo and the man page pass their tools' checks without a
# hint, and name the version being built, as the Debian changelog does; every build
# dependency the package declares is one that scripts/install-deps installs.
source "$(dirname "$0")/../common.sh"
src=$1 version=$2
desktop=$src/packaging/org.keyfall.Keyfall.desktop
metainfo=$src/packaging/org.keyfall.Keyfall.metainfo.xml
man_page=$src/packaging/keyfall.6

hints=$(desktop-file-validate "$desktop") || fail "desktop-file-validate: $hints"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
if grep -E '^[EWI]:' "$work/appstream.log"; then fail "appstreamcli has remarks"; fi

# groff's own warnings, as lintian asks for them.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"

grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "^\.TH KEYFALL 6 .*\"Keyfall $version\"" "$man_page" || fail "man page is not for $version"
grep -qx 'Exec=keyfall' "$desktop" || fail "launcher does not start keyfall"
grep -qx 'Exec=keyfall --window' "$desktop" || fail "launcher has no windowed action"
grep -qx 'Name\[it\]=Gioca in una finestra' "$desktop" || fail "windowed action is not named in Italian"
for link in homepage bugtracker help; do
  grep -q "<url type=\"$link\">https://" "$metainfo" || fail "metainfo has no $link link"
done
[ "$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)" = "$version" ] || fail "debian/changelog is not at $version"

# Build-Depends, without versions and build profiles, against the install list.
build_depends=$(sed -n '/^Build-Depends:/,/^[A-Z]/p' "$src/debian/control" | sed '1s/^Build-Depends://;$d')
for dep in $(echo "$build_depends" | tr ',' '\n' | sed 's/[(<].*//; s/^ *//; s/ *$//' | grep -v '^$'); do
  [ "$dep" = debhelper-compat ] && dep=debhelper
  grep -qw -- "$dep" "$src/scripts/install-deps" || fail "scripts/install-deps does not install $dep, a build dependency"
done
grep -q '<binary>keyfall</binary>' "$metainfo" || fail "metainfo does not provide keyfall"
echo "metadata: ok"
