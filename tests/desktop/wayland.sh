#!/usr/bin/env bash
# A native Wayland client under a headless weston (no X server, no XWayland): the program
# starts, announces the launcher's id, covers the whole output over the shell's panel and
# draws its field and panel; it runs until stopped and reports no platform trouble.
source "$(dirname "$0")/../common.sh"
exe=$(realpath "$1")
unset DISPLAY
socket=keyfall-test-$$
# --debug lets weston-screenshooter in; pixman renders the frames the screenshot reads.
weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --idle-time=0 \
       --socket="$socket" --debug >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$socket" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || { cat "$work/weston.log"; fail "weston did not start"; }
export WAYLAND_DISPLAY=$socket

QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client run_for 3 "$work/game.log" "$exe"
# A loaded machine may take a while to bring the window up: wait for the app id as long as
# the program runs, and tell a program that ended from one that never sets it.
game=${pids[-1]}
for _ in $(seq 600); do
  grep -q 'set_app_id("org.keyfall.Keyfall")' "$work/game.log" && break
  kill -0 "$game" 2>/dev/null || { tail -n 20 "$work/game.log" >&2; fail "the program ended without setting an app id"; }
  sleep 0.1
done
grep -q 'set_app_id("org.keyfall.Keyfall")' "$work/game.log" || fail "no app id for the launcher within 60 s"
if grep -E 'qt\.qpa|Could not|Failed to|[Ff]atal|Segmentation|Aborted' "$work/game.log" >&2; then
  fail "platform errors"
fi

# weston-screenshooter names its file after the time; keep one under a fixed name.
screenshot() {
  rm -f "$work"/wayland-screenshot-*.png
  (cd "$work" && weston-screenshooter) && mv "$work"/wayland-screenshot-*.png "$1"
}
shot=$work/shot.png
shoot_when_drawn "$shot" 712 620 screenshot "$shot"
[ "$(identify -format '%wx%h' "$shot")" = 1024x768 ] || fail "screenshot is not the 1024x768 output"
# Black where the shell's panel and background would show, the night sky in the field.
expect_pixel "$shot" 512 8 "panel covered" 0 10 0 10 0 10
expect_pixel "$shot" 4 763 "background covered" 0 10 0 10 0 10
expect_pixel "$shot" 300 200 "night sky" 0 90 0 70 20 140
echo "wayland: ok"
