#!/usr/bin/env bash
# Every way out of the program gives the desktop back, on an X server that
# really switches modes (Xorg with the dummy video driver, a 1280x1024
# desktop; see dummy.conf), with no window manager, as many lab computers
# run. Each run must switch the screen to 1024x768 at 60 Hz with no cursor
# over the canvas, and after it ends the screen must be at 1280x1024 again
# with the cursor shown and the keyboard focus as it was (PointerRoot):
#   Escape (128) on the real program, its canvas window destroyed or
#   unmapped by another program (15), its connection cut as xkill does (15), kill -9 (137: the
#   focus alone can come back, by the server), and every signal that ends
#   a process (128+n: SIGHUP to SIGSYS, and SIGRTMIN to SIGRTMAX);
#   through fault_program: SIGPIPE from a write to a closed standard error
#   (141), a failure after the switch (a box, 15), the font abort (134), an
#   uncaught exception (134) and a real crash (139); Ctrl-C and SIGTERM
#   while the failure box waits (130, 143, and no box left behind); and a
#   display without GLX, which fails (a box, 15) without a switch.
# Skips (status 0) when this machine cannot run Xorg with the dummy driver.
#
#   exit_paths_test.sh STIMULUS FAULT_PROGRAM CURSOR_PROBE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
faulty=$2
cursor=$3
e2e_begin
xorg_dummy_or_skip dummy.conf
expect_screen "desktop" 1280x1024
[ "$("$cursor" focus)" = PointerRoot ] && pass "desktop: focus PointerRoot" || fail "desktop: focus $("$cursor" focus)"

window_id_shown() { [ -n "$(window_id "$1")" ]; }
no_window() { [ -z "$(window_id "$1")" ]; }
cursor_is() { [ "$("$cursor")" = "$1" ]; }
focus() { "$cursor" focus; }

# expect_switched WHAT: the screen runs at 1024x768, 60 Hz, with no cursor
# over the program's canvas.
expect_switched() {
  expect_mode_switched "$1" 15
  xdotool mousemove 512 384
  eventually 5 cursor_is hidden && pass "$1: cursor hidden" || fail "$1: cursor $("$cursor")"
}

# expect_desktop WHAT: the screen is back at 1280x1024 with the cursor
# shown and the keyboard focus where it was found.
expect_desktop() {
  expect_screen "$1: back" 1280x1024
  xdotool mousemove 640 512
  cursor_is shown && pass "$1: cursor shown" || fail "$1: cursor $("$cursor")"
  expect_focus "$1"
}

# expect_focus WHAT: the keyboard focus is PointerRoot, as Xorg starts with
# no window manager: the desktop takes keys again.
expect_focus() {
  [ "$(focus)" = PointerRoot ] && pass "$1: focus PointerRoot again" || fail "$1: focus $(focus) (PointerRoot before)"
}

# at_fault WHAT PID: fault_program paused at its fault; checks the screen
# there, then lets it go on.
at_fault() {
  if wait_stopped "$2"; then
    pass "$1: reached the fault"
    switched && pass "$1: screen at 1024x768 at the fault" || fail "$1: screen at $(screen_size) at the fault"
    xdotool mousemove 512 384
    eventually 3 cursor_is hidden && pass "$1: cursor hidden at the fault" || fail "$1: cursor $("$cursor") at the fault"
  else
    fail "$1: never reached the fault: $(cat "$work/err")"
  fi
  kill -CONT "$2" 2>/dev/null
}

# through_box WHAT PID: waits for the program to end; when its notification
# box shows, checks that the screen was given back first, then presses
# Return in it. Sets STATUS and BOX (1 when a box was shown).
through_box() {
  local box
  BOX=0
  for _ in $(seq 150); do
    kill -0 "$2" 2>/dev/null || break
    box=$(window_id "Kestravon Notification")
    if [ -n "$box" ]; then
      BOX=1
      [ "$(screen_size)" = 1280x1024 ] && pass "$1: screen given back before the box" ||
        fail "$1: screen at $(screen_size) under the box"
      xdotool windowfocus --sync "$box" key Return 2>/dev/null
      break
    fi
    sleep 0.2  # between looks for the box
  done
  wait_pid "$2" 15
}

# --- Escape -------------------------------------------------------------------
"$program" 2>"$work/err" &
pid=$!
expect_switched "Escape"
wait_for_canvas "Escape" && focus_canvas
xdotool key Escape
wait_pid $pid 10
expect_status "Escape" 128
expect_desktop "Escape"

# --- the canvas window destroyed by another program ------------------------------
"$program" 2>"$work/err" &
pid=$!
expect_switched "destroyed canvas"
wait_for_canvas "destroyed canvas"
xdotool windowclose "$(window_id "Kestravon Main Window")"
wait_pid $pid 10
expect_status "destroyed canvas" 15
expect_desktop "destroyed canvas"

# --- the canvas unmapped by another program ------------------------------------------
# No frame may be recorded as presented while nobody sees it: the run ends
# as for a destroyed canvas.
"$program" --timing "$work/unmapped.csv" 2>"$work/err" &
pid=$!
expect_switched "unmapped canvas"
wait_for_canvas "unmapped canvas"
# Frames presented first (a sanitizer build can take seconds to its first
# one), so that the end has a record to close.
wait_for_rows "unmapped canvas" "$work/unmapped.csv" 2 30
xdotool windowunmap "$(window_id "Kestravon Main Window")"
wait_pid $pid 10
expect_status "unmapped canvas" 15
grep -qxF "Kestravon Notification: The canvas window was hidden by another program." "$work/err" &&
  grep -Eq '^Kestravon: [0-9]+ frames presented' "$work/err" && pass "unmapped canvas: said, and the record ended" ||
  fail "unmapped canvas: standard error: $(cat "$work/err")"
expect_desktop "unmapped canvas"

# --- the connection cut (xkill) ----------------------------------------------------
"$program" 2>"$work/err" &
pid=$!
expect_switched "connection cut"
wait_for_canvas "connection cut"
"$cursor" kill-client "$(window_id "Kestravon Main Window")"
wait_pid $pid 10
expect_status "connection cut" 15
expect_desktop "connection cut"

# --- kill -9 -------------------------------------------------------------------------
# Nothing runs at SIGKILL; the mode stays (said in the README), but the
# canvas took the focus to revert to PointerRoot, so the desktop takes keys.
"$program" 2>"$work/err" &
pid=$!
expect_switched "kill -9"
wait_for_canvas "kill -9"
kill -9 $pid
wait_pid $pid 10
expect_status "kill -9" 137
expect_focus "kill -9"
xrandr -s 1280x1024

# --- every signal that ends a process ------------------------------------------
# Sent from elsewhere, each signal whose default action ends a process and
# that can be caught (requests to end, the fault signals, the real-time
# ones) must give the desktop back and end the program by that signal,
# status 128+n. Started from a terminal the program has the default action
# for all of them; a background job of a script ignores SIGINT and SIGQUIT,
# so every default is put back first. No core files; a sanitizer's handler
# would end with its own status instead of the signal's.
ulimit -c 0
export ASAN_OPTIONS="$ASAN_OPTIONS:handle_segv=0:handle_sigbus=0:handle_sigfpe=0"

# signal_ends N: one run of the program, ended by signal number N; one line.
# (That the cursor was hidden before is checked on the other paths: the
# same restore shows it again for every signal.)
signal_ends() {
  local n=$1 name problems=""
  name=SIG$(kill -l "$n")
  env --default-signal "$program" 2>"$work/err" &
  pid=$!
  eventually 15 switched || problems+=" no switch (screen $(screen_size));"
  kill -"$n" $pid
  wait_pid $pid 10
  [ "$STATUS" = $((128 + n)) ] || problems+=" status $STATUS, expected $((128 + n));"
  [ "$(screen_size)" = 1280x1024 ] || problems+=" screen left at $(screen_size);"
  xdotool mousemove 640 512
  cursor_is shown || problems+=" cursor $("$cursor") after;"
  [ "$(focus)" = PointerRoot ] || problems+=" focus $(focus) after;"
  if [ -z "$problems" ]; then pass "$name: desktop back, status $STATUS"
  else fail "$name:$problems $(head -c 500 "$work/err")"; xrandr -s 0 2>/dev/null; fi
}

for sig in HUP INT QUIT ILL TRAP ABRT BUS FPE USR1 SEGV USR2 PIPE ALRM TERM STKFLT XCPU XFSZ VTALRM PROF IO PWR \
           SYS; do
  signal_ends "$(kill -l "$sig")"
done
for n in $(seq "$(kill -l RTMIN)" "$(kill -l RTMAX)"); do
  signal_ends "$n"
done

# --- standard error closed -------------------------------------------------------
# A write to a pipe nobody reads any more raises SIGPIPE inside backend code
# (fault_program reports its fault from there, after the switch): the
# program gives the desktop back and ends by it (141), not silently with
# the mode switched.
"$faulty" context-refused 2> >(true) &
pid=$!
wait_pid $pid 10
expect_status "closed standard error" 141
expect_desktop "closed standard error"

# --- a failure after the switch ---------------------------------------------------
"$faulty" context-refused --pause >"$work/out" 2>"$work/err" &
pid=$!
at_fault "failure after the switch" $pid
through_box "failure after the switch" $pid
expect_status "failure after the switch" 15
expect_notified "failure after the switch" "API Error (Failed to set OpenGL context)." "$work/err"
expect_desktop "failure after the switch"

# --- Ctrl-C, or SIGTERM, while the failure box waits ------------------------------
# SDL shows the box from a forked child. Ctrl-C reaches both (one process
# group, as in a terminal); SIGTERM from elsewhere only the program. Either
# way the program ends by its signal and leaves no box behind.
for sig in INT TERM; do
  setsid env --default-signal=INT "$faulty" context-refused >"$work/out" 2>"$work/err" &
  pid=$!
  eventually 15 window_id_shown "Kestravon Notification" || fail "SIG$sig at the box: no box"
  if [ "$sig" = INT ]; then kill -s INT -- -$pid; else kill -s TERM $pid; fi
  wait_pid $pid 10
  expect_status "SIG$sig at the box" $((128 + $(kill -l "$sig")))
  eventually 5 no_window "Kestravon Notification" && pass "SIG$sig at the box: no box left" ||
    fail "SIG$sig at the box: a box outlived the program"
  expect_desktop "SIG$sig at the box"
done

# --- the font abort -------------------------------------------------------------
"$faulty" no-font-names --pause >"$work/out" 2>"$work/err" &
pid=$!
at_fault "font abort" $pid
wait_pid $pid 10
expect_status "font abort" 134
[ "$(cat "$work/out")" = "Can't generate fonts." ] && pass "font abort: its text on standard output" ||
  fail "font abort: standard output was: $(cat "$work/out")"
expect_desktop "font abort"

# --- an uncaught exception ---------------------------------------------------------
"$faulty" throw-mid-run --pause >"$work/out" 2>"$work/err" &
pid=$!
at_fault "uncaught exception" $pid
wait_pid $pid 10
expect_status "uncaught exception" 134
grep -q "std::bad_alloc" "$work/err" && pass "uncaught exception: terminate names it" ||
  fail "uncaught exception: standard error was: $(cat "$work/err")"
expect_desktop "uncaught exception"

# --- a real crash ------------------------------------------------------------------
# A segmentation fault raised by the processor, not sent: restored from
# inside the handler at once, then the program dies of it (139).
"$faulty" crash-mid-run --pause >"$work/out" 2>"$work/err" &
pid=$!
at_fault "crash" $pid
wait_pid $pid 10
expect_status "crash" 139
expect_desktop "crash"
stop_xorg

# --- a display without GLX ---------------------------------------------------------
if XORG_EXTRA_ARGS="-extension GLX" start_xorg_dummy "$here/dummy.conf" "$work/xorg-noglx.log"; then
  "$program" >"$work/out" 2>"$work/err" &
  pid=$!
  through_box "no GLX" $pid
  expect_status "no GLX" 15
  expect_notified "no GLX" "Failed to create the canvas." "$work/err"
  expect_desktop "no GLX"
  stop_xorg
else
  fail "Xorg without GLX did not start"
fi

echo "$failures failed"
[ "$failures" = 0 ]
