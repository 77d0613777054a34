#!/usr/bin/env bash
# Drives the program as a user does: it opens a copy of a document given on the command line,
# the user clicks into the top margin's field, replaces its value, presses Return, and closes the
# window. The document then holds the new top margin, every other byte as it was, and the
# program ends with status 0. Runs on a display of its own (OnDisplay.sh).
set -euo pipefail
program=$1 fixture=$2
source "$(dirname "$0")/../display/Program.sh"

work=$(mktemp -d)
trap 'stop_program; rm -rf "$work"' EXIT
document=$work/Margins.rtf
cp "$fixture" "$document"
LC_ALL=C sed 's/\\margt1440/\\margt2000/' "$fixture" >"$work/expected"
! cmp -s "$fixture" "$work/expected" || fail "the fixture holds no \\margt1440"

start_program "$program" "$document"
pid=$program_pid
window=$(window_of "$pid") || fail "no window of the program appeared"
xdotool windowactivate --sync "$window"

# The top margin's field: 45 by 22 points at (119, 45) of the window's content.
xdotool mousemove --window "$window" 141 56 click 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 2000
xdotool key Return

for _ in $(seq 100); do
  cmp -s "$fixture" "$document" || break
  sleep 0.1
done
cmp -s "$fixture" "$document" && fail "pressing Return did not change the document"
cmp "$work/expected" "$document" || fail "the document differs from the fixture by more than its top margin"

close_and_wait "$pid" "$window"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "the top margin became 2000, every other byte as it was; closed with status 0"
