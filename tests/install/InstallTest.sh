#!/usr/bin/env bash
# Installs the build given into a temporary prefix, checks the layout and the desktop entry, and
# opens a document with the installed program the way a file manager does (Exec=velloran %F),
# then closes its window. Runs on a display of its own (OnDisplay.sh).
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../display/Program.sh"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

bundle=$prefix/lib/velloran/Velloran.app/Contents
for file in bin/velloran "${bundle#"$prefix"/}/MacOS/Velloran"; do
  [ -x "$prefix/$file" ] || fail "$file is not there or cannot be run"
done
for file in ClearMiniIcon.png SendMiniIcon.png VelloranDrop.png Velloran.rtfd/TXT.rtf; do
  [ -s "$bundle/Resources/$file" ] || fail "the bundle lacks Resources/$file"
done
for file in share/icons/hicolor/256x256/apps/velloran.png share/icons/hicolor/scalable/apps/velloran.svg; do
  [ -s "$prefix/$file" ] || fail "$file is not there"
done

entry=$prefix/share/applications/velloran.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the desktop entry"
grep -qx 'Exec=velloran %F' "$entry" || fail "the desktop entry does not run velloran with the files"
grep -qx 'Icon=velloran' "$entry" || fail "the desktop entry names another icon"
grep -qx 'MimeType=application/rtf;text/rtf;text/plain;' "$entry" || fail "the desktop entry offers other types"

# A name with a space and a quote, so that a launcher that splits or re-parses its arguments
# shows here.
documents=$(mktemp -d)
trap 'stop_program; rm -rf "$prefix" "$documents"' EXIT
document="$documents/Letter to Anne's bank.rtf"
printf '{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\margl1440\\margr1440\\margt1440\\margb1440 Text.}' >"$document"

PATH="$prefix/bin:$PATH" start_program velloran "$document"
pid=$program_pid
window=$(window_of "$pid") || fail "no window of the installed program appeared"

# The launcher hands over to the bundle's executable itself, with the document as one argument.
[ "$(readlink -f "/proc/$pid/exe")" = "$(readlink -f "$bundle/MacOS/Velloran")" ] ||
  fail "the running program is not the installed bundle's executable"
mapfile -d '' arguments <"/proc/$pid/cmdline"
[ "${#arguments[@]}" -eq 2 ] && [ "${arguments[1]}" = "$document" ] ||
  fail "the program was given ${arguments[*]:1} instead of the document"

close_and_wait "$pid" "$window"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "installed, opened a document through the launcher, closed with status 0"
