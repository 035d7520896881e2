#!/usr/bin/env bash
# scripts/install-deps against a make-believe apt: which packages it asks for, how (never
# removing one, never a sound server), as whom, and what it says when it cannot.
#   usage: install_deps.sh path/to/scripts/install-deps
set -euo pipefail
script=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/keyfall-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "install-deps test: FAIL: $*" >&2; exit 1; }

# The stand-ins read and write their state in $work/state: installed packages, whether the
# package lists were fetched, the uid, and what apt would do besides.
stubs=$work/stubs
tools=$work/tools
state=$work/state
mkdir -p "$stubs" "$tools" "$state"
for t in bash env awk grep sed tr sort cat seq touch; do ln -s "$(command -v "$t")" "$tools/$t"; done

cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/bash
p=${!#}
while read -r i; do [ "$i" = "$p" ] && { printf installed; exit 0; }; done <"$STATE/installed"
printf not-installed
EOF
cat >"$stubs/apt-cache" <<'EOF'
#!/bin/bash
[ "$1" = policy ] || exit 1
if [ -f "$STATE/lists" ]; then c=1.0; else c='(none)'; fi
# Long enough that a reader which stops at the candidate would break the pipe.
printf '%s:\n  Installed: (none)\n  Candidate: %s\n' "$2" "$c"
printf '     %s 500 http://deb.example.org/debian bookworm/main amd64 Packages\n' {1..2000}
EOF
cat >"$stubs/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$STATE/log"
args=("$@")
simulate=
pkgs=()
for a in "${args[@]}"; do
  case $a in
    -s) simulate=1 ;;
    update) touch "$STATE/lists" ;;
    -*|install|DPkg::*) ;;
    *) pkgs+=("$a") ;;
  esac
done
case " ${args[*]} " in *" update "*) exit 0 ;; esac
if [ -n "$simulate" ]; then
  if [ -f "$STATE/removes" ]; then
    echo "The following packages will be REMOVED:"
    sed 's/^/  /' "$STATE/removes"
  fi
  for p in "${pkgs[@]}" $(cat "$STATE/extra" 2>/dev/null); do echo "Inst $p (1.0 Debian:12)"; done
  [ -f "$STATE/removes" ] && sed 's/^/Remv /' "$STATE/removes"
  echo "${#pkgs[@]} upgraded, ${#pkgs[@]} newly installed, 0 to remove and 0 not upgraded."
  exit 0
fi
[ -f "$STATE/lists" ] || { echo "E: Unable to locate package ${pkgs[0]}" >&2; exit 100; }
printf '%s\n' "${pkgs[@]}" >>"$STATE/installed"
EOF
cat >"$stubs/id" <<'EOF'
#!/bin/bash
cat "$STATE/uid"
EOF
sudo_stub() {
  cat >"$stubs/sudo" <<'EOF'
#!/bin/bash
echo "sudo $*" >>"$STATE/log"
"$@"
EOF
  chmod +x "$stubs/sudo"
}
chmod +x "$stubs"/*

# fresh UID [installed packages...]: a new machine for the next case.
fresh() {
  rm -rf "${state:?}"/* "$stubs/sudo"
  echo "$1" >"$state/uid"
  shift
  printf '%s\n' "$@" >"$state/installed"
  touch "$state/lists" "$state/log"
}
# run LIST...: install-deps with the stand-ins only; sets rc, out (its output) and log.
run() {
  rc=0
  out=$(STATE=$state PATH=$stubs:$tools "$script" "$@" 2>&1) || rc=$?
  log=$(cat "$state/log")
}
installs() { grep '^apt-get .* install -y' <<<"$log" || true; }
list_of() {
  fresh 0
  run "$1"
  installs | tr " " "\n" | { grep -v -e "^-" -e "^apt-get$" -e "^install$" -e "^DPkg::" || true; } | sort
}

# ---- what each list asks for --------------------------------------------------------
build=$(list_of build)
[ -n "$build" ] || fail "the build list installs nothing"
for p in qt6-base-dev cmake fonts-dejavu-core qt6-qpa-plugins; do
  grep -qx "$p" <<<"$build" || fail "the build list lacks $p"
done
# A player's `make run` gets no test, lint, fuzz or benchmark tool.
for p in libgtest-dev libbenchmark-dev xvfb xdotool imagemagick weston clang clang-tidy sox debootstrap; do
  ! grep -qx "$p" <<<"$build" || fail "the build list asks for the developer tool $p"
done
for l in make build test bench lint fuzz package screenshot fresh; do
  packages=$(list_of "$l")
  [ -n "$packages" ] || fail "the $l list installs nothing"
  for p in $packages; do
    case $p in pulseaudio | pipewire*) fail "the $l list installs the sound server $p" ;; esac
  done
done
[ "$(list_of make)" = make ] || fail "the make list is not GNU make alone: $(list_of make)"
echo "lists: build has $(wc -l <<<"$build") packages, none for tests; no list has a sound server"

# ---- root, lists fetched ---------------------------------------------------------------
fresh 0 g++ make cmake
run build
[ $rc -eq 0 ] || fail "root install failed: $out"
line=$(installs)
[ "$(wc -l <<<"$line")" -eq 1 ] || fail "expected one install, got: $log"
for flag in --no-remove --no-install-recommends -y; do
  grep -qe " $flag " <<<"$line " || fail "install without $flag: $line"
done
! grep -qw cmake <<<"$line" || fail "asked again for an installed package: $line"
grep -qw qt6-base-dev <<<"$line" || fail "qt6-base-dev not asked for: $line"
grep -q 'build and play the game' <<<"$out" || fail "did not say why it installs: $out"
grep -q 'apt-get -s install' <<<"$log" || fail "no simulated plan before the install"
! grep -q 'apt-get.* update' <<<"$log" || fail "fetched the lists although they were there"
# Everything is there now: silent, and apt is not asked anything.
: >"$state/log"
run build
[ $rc -eq 0 ] && [ -z "$out" ] && [ -z "$log" ] || fail "second run not silent (rc $rc): $out $log"

# Two lists that share packages ask for each once.
fresh 0
run bench screenshot
[ "$(installs | tr ' ' '\n' | grep -cx xvfb)" -eq 1 ] || fail "xvfb asked for twice: $(installs)"

# ---- lists never fetched -------------------------------------------------------------
fresh 0
rm "$state/lists"
run build
[ $rc -eq 0 ] || fail "with no package lists: $out"
[ "$(grep -c 'apt-get.* update' <<<"$log")" -eq 1 ] || fail "expected one apt-get update: $log"
[ "$(grep -n 'update' <<<"$log" | cut -d: -f1)" -lt "$(grep -n 'install -y' <<<"$log" | cut -d: -f1)" ] ||
  fail "update after install: $log"

# ---- apt would remove packages ---------------------------------------------------------
fresh 0
printf '%s\n' gnome-core pipewire-audio >"$state/removes"
run test
[ $rc -ne 0 ] || fail "went on although apt would remove packages: $out"
grep -q 'gnome-core' <<<"$out" && grep -q 'pipewire-audio' <<<"$out" || fail "the conflict is not named: $out"
[ -z "$(installs)" ] || fail "installed despite the removals: $log"

# ---- apt would bring a sound server in -------------------------------------------------
fresh 0
echo pulseaudio >"$state/extra"
run build
[ $rc -ne 0 ] || fail "went on although apt would install pulseaudio"
grep -q 'pulseaudio' <<<"$out" || fail "the sound server is not named: $out"
[ -z "$(installs)" ] || fail "installed a sound server: $log"

# ---- not root ----------------------------------------------------------------------------
fresh 1000
run build
[ $rc -ne 0 ] || fail "not root and no sudo, yet it succeeded: $out"
grep -q "su -c 'apt-get update && apt-get install --no-install-recommends --no-remove .*qt6-base-dev" <<<"$out" ||
  fail "no command for root printed: $out"
! grep -q 'apt-get.* install' <<<"$log" || fail "ran apt-get install without root: $log"

fresh 1000
sudo_stub
run build
[ $rc -eq 0 ] || fail "with sudo: $out"
grep -q '^sudo env DEBIAN_FRONTEND=noninteractive apt-get .* install -y' <<<"$log" || fail "install not through sudo: $log"
! grep -q '^sudo .* -s install' <<<"$log" || fail "the simulation needs no root, yet used sudo: $log"

# ---- asked for a list that does not exist -------------------------------------------------
fresh 0
run buidl
[ $rc -eq 2 ] && grep -q "no list named 'buidl'" <<<"$out" || fail "unknown list: rc $rc, $out"
[ -z "$log" ] || fail "ran apt for an unknown list: $log"

echo "install-deps: ok"
