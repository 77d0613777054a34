# Helpers for a test that drives the program's window on the display that OnDisplay.sh made.
# Every wait is bounded; a test that fails says what it waited for.

# The program started by start_program; a test's exit trap calls stop_program, so that a failing
# test leaves no program behind on its display.
program_pid=""

start_program() {
  "$@" &
  program_pid=$!
}

stop_program() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill -9 "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
}

# With VELLORAN_SCREENSHOT naming a PNG file, a failing test leaves a picture of its screen there.
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${VELLORAN_SCREENSHOT:-}" ]; then
    import -window root "$VELLORAN_SCREENSHOT" 2>/dev/null || true
  fi
  exit 1
}

# Prints the id of the visible window titled "Velloran" of the process given, once it is there.
window_of() {
  local pid=$1 id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --pid "$pid" --name '^Velloran$' 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Closes the window as a user does, through the window manager, waits for the program to end,
# and sets `status` to its exit status.
close_and_wait() {
  local pid=$1 window=$2
  status=0
  wmctrl -i -c "$window"
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid" 2>/dev/null || true
    fail "the program did not end when its window was closed"
  fi
  wait "$pid" || status=$?
}
