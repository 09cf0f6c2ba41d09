#!/usr/bin/env bash
# A lost display ends the program: when the X server goes away under it,
# the program ends within a second with status 15 and the line
# "Kestravon Notification: Lost the connection to the display." on
# standard error, instead of spinning for ever on the dead connection.
# Twice: in the middle of its frames, and while its failure box waits
# (the box's own process must end quietly, the program say it once).
# A canvas window destroyed by another program (xdotool windowclose, as a
# window manager may) ends it the same way, with status 15 and its own
# line, through the exit handlers: the record's summary is still said.
#
#   lost_display_test.sh STIMULUS FAULT_PROGRAM
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
faulty=$2
e2e_begin
text="Kestravon Notification: Lost the connection to the display."

box_shown() { [ -n "$(window_id "Kestravon Notification")" ]; }

# lose_display WHAT PID: kills the X server under the running program, then
# checks how and how soon the program ended.
lose_display() {
  local what=$1 pid=$2 start elapsed
  kill -0 "$pid" 2>/dev/null || { fail "$what: the program ended before the display went"; return; }
  start=$(date +%s%N)
  kill -KILL "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02  # the resolution of the time measured
  done
  elapsed=$((($(date +%s%N) - start) / 1000000))
  wait_pid "$pid" 5
  [ "$elapsed" -le 1000 ] && pass "$what: ended $elapsed ms after the display went" ||
    fail "$what: still running $elapsed ms after the display went"
  expect_status "$what" 15
  [ "$(grep -cxF "$text" "$work/err")" = 1 ] && pass "$what: said so once on standard error" ||
    fail "$what: standard error was: $(head -c 2000 "$work/err")"
}

# --- in the middle of its frames ------------------------------------------------
# Its timing file shows when the frames run: a row is written within a
# second of the first frame.
e2e_xvfb 1024x768x24
start_canvas "frames" "$work/err" "$program" --timing "$work/frames.csv"
wait_for_rows "frames" "$work/frames.csv" 2
lose_display "frames" $pid

# --- while the failure box waits ---------------------------------------------------
e2e_xvfb 1024x768x24
"$faulty" context-refused 2>"$work/err" &
pid=$!
eventually 15 box_shown || fail "box: no box"
lose_display "box" $pid

# --- the canvas window destroyed by another program -----------------------------------
e2e_xvfb 1024x768x24
start_canvas "destroyed canvas" "$work/err" "$program" --timing "$work/timing.csv"
# Frames presented first (a sanitizer build opens slowly).
wait_for_rows "destroyed canvas" "$work/timing.csv" 2
xdotool windowclose "$(window_id "Kestravon Main Window")"
wait_pid $pid 5
expect_status "destroyed canvas" 15
[ "$(grep -cxF "Kestravon Notification: The canvas window was destroyed by another program." "$work/err")" = 1 ] &&
  grep -q '^Kestravon: [0-9]* frames presented' "$work/err" && ! grep -q 'X Error' "$work/err" &&
  pass "destroyed canvas: said so once, then the summary" ||
  fail "destroyed canvas: standard error was: $(head -c 2000 "$work/err")"
stop_xvfb

echo "$failures failed"
[ "$failures" = 0 ]
