#!/usr/bin/env bash
# Clicks where a label lies over a control, as a user does: the lower half of the web button,
# under the maker's name, opens the maker's page through the desktop's opener; the top edge of
# the top field and the bottom edge of the bottom field, under the margin labels, take the typing.
# Then Backspace at the end of a field that shows "-360", and "Change", write "-36". Runs on a
# display of its own (OnDisplay.sh).
set -euo pipefail
program=$1
source "$(dirname "$0")/../display/Program.sh"

work=$(mktemp -d)
trap 'stop_program; rm -rf "$work"' EXIT

# The opener that the program finds first on its PATH notes what it was asked to open.
mkdir "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$work/opened" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

document=$work/Margins.rtf
printf '{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\margl-360\\margr1800\\margt1440\\margb1300 Text.}' >"$document"
printf '{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\margl-36\\margr1800\\margt2000\\margb600 Text.}' >"$work/expected"

PATH="$work/bin:$PATH" start_program "$program" "$document"
pid=$program_pid
window=$(window_of "$pid") || fail "no window of the program appeared"
xdotool windowactivate --sync "$window"

# In the window's content: the web button is 30 by 30 at (14, 286), the maker's name 48 by 20
# at (14, 300) over it.
xdotool mousemove --window "$window" 29 308 click 1
for _ in $(seq 100); do
  [ -s "$work/opened" ] && break
  sleep 0.1
done
[ -s "$work/opened" ] || fail "a click on the lower half of the web button opened nothing"
[ "$(cat "$work/opened")" = "http://example.org/durodiz/" ] || fail "the opener was given $(cat "$work/opened")"

# The top field, 45 by 22 at (119, 45), lies 4 points under its label; the bottom field, at
# (119, 201), 2 points.
xdotool mousemove --window "$window" 141 47 click 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 2000
xdotool mousemove --window "$window" 141 222 click 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 600

# The end of the left field, at (20, 123), which shows the value as read.
xdotool mousemove --window "$window" 62 134 click 1
xdotool key BackSpace
# "Change", 80 by 20 at (101, 286).
xdotool mousemove --window "$window" 141 296 click 1

for _ in $(seq 100); do
  cmp -s "$work/expected" "$document" && break
  sleep 0.1
done
cmp "$work/expected" "$document" || fail "the document is not what the clicks and keys should have made: $(cat "$document")"

close_and_wait "$pid" "$window"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "the web button's lower half opened the page, both field edges took the typing, -360 became -36"
