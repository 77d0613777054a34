#!/usr/bin/env bash
# Runs the command given on an X display of its own: a private Xvfb with a window manager
# (openbox), so that a test never puts a window on the user's screen and two tests never share
# one. The command finds DISPLAY set and QT_QPA_PLATFORM=xcb; its exit status is this one's.
set -euo pipefail

work=$(mktemp -d)
server="" wm=""
cleanup() {
  for pid in $wm $server; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

mkdir -p "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" openbox >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
  wmctrl -m >/dev/null 2>&1 && break
  kill -0 "$wm" 2>/dev/null || { cat "$work/openbox.log" >&2; echo "openbox did not start" >&2; exit 1; }
  sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || { echo "no window manager on $DISPLAY" >&2; exit 1; }

export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
status=0
"$@" || status=$?
exit "$status"
