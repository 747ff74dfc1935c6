#!/usr/bin/env bash
# Takes a picture of Vemal Ftp's main window on a virtual X display, under a window manager.
#
#   tools/screenshot.sh [--size WxH] [OUT.png] [CONFIG_DIR]
#
# --size gives the screen (default 1280x800); the window is made as large as the screen.
# OUT.png defaults to screenshot.png in the current folder. The program runs with a fresh settings
# store, listing cache and home folder (its drive C:) in a temporary folder, or with the settings
# under CONFIG_DIR (used as XDG_CONFIG_HOME) and the user's own home. An e-mail address and a cache
# folder are stored first when missing, so that no first-start dialog waits for an answer. Installs
# Xvfb and the capture tools when they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=1280x800
if [ "${1:-}" = --size ]; then
  size=$2
  shift 2
fi
out=$(realpath -m "${1:-screenshot.png}")
config=${2:-}

. "$root/tools/setup.sh"
ensure_packages "${BUILD_PACKAGES[@]}" xvfb x11-apps x11-utils netpbm openbox xdotool
(cd "$root" && build_project build)

work=$(mktemp -d)
xvfb_pid=
wm_pid=
app_pid=
cleanup() {
  set +e # a stopped process answers wait with its signal; go on with the rest
  for pid in $app_pid $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

display=
for n in $(seq 90 150); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || die "screenshot: no free X display number between 90 and 150"
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 100 test -S "/tmp/.X11-unix/X$display" || die "screenshot: Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=":$display" openbox >"$work/wm.log" 2>&1 &
wm_pid=$!

export XDG_CONFIG_HOME=${config:-$work/config}
export XDG_CACHE_HOME=$work/cache
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
if [ -z "$config" ]; then
  # Drive C: is the home folder: a fresh run browses, and keeps its listing cache, in a home of its
  # own, never in the user's.
  export HOME=$work/home
  mkdir -p "$HOME"
fi
cli=$root/build/src/vemalftp-cli
"$cli" config EMail >/dev/null 2>&1 || "$cli" config EMail "screenshot@example.org" >/dev/null
"$cli" config CachePath >/dev/null 2>&1 || "$cli" config CachePath 'C:\.cache\vemalftp-screenshot\' >/dev/null

DISPLAY=":$display" "$root/build/src/vemalftp" >"$work/app.log" 2>&1 &
app_pid=$!
# The frame: the window titled "Vemal Ftp..." of class vemalftp (Qt's hidden leader window has the
# title too, but no class).
window_id() {
  DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | awk '/"Vemal Ftp[^"]*": \("vemalftp"/ {print $1; exit}'
}
window_shown() { [ -n "$(window_id)" ]; }
wait_for 200 window_shown || die "screenshot: the main window did not appear: $(cat "$work/app.log")"
DISPLAY=":$display" xdotool windowsize "$(window_id)" 100% 100% >/dev/null 2>&1 || true
# The window is mapped; give it a moment to paint its first frame.
sleep 1
DISPLAY=":$display" xwd -silent -id "$(window_id)" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
echo "$out"
