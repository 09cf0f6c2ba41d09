#!/usr/bin/env bash
# The Windows build gives the desktop back on every exit it can see, under
# Wine on an X server that really switches modes (Xorg with the dummy video
# driver, a 1280x1024 desktop; see dummy.conf). Each run must switch the
# screen to 1024x768 at 60 Hz, and after it ends the screen must be at
# 1280x1024 again:
#   the program: Escape (128);
#   win32_fault_program.exe (graphical, like the program): an access
#   violation (5, the low byte of 0xC0000005), an uncaught exception (3,
#   after the usual "terminate called" text) and abort (3);
#   win32_fault_console.exe: Ctrl-C (Wine turns SIGINT into Ctrl-C only
#   for console programs).
# The look-up table comes back too: Wine carries SetDeviceGammaRamp to the
# X server's XF86VidMode ramp, which GAMMA_PROBE reads. The program runs
# with --gamma 2.0 and the fault program loads a square-root table: while
# they run the ramp's middle entry is the square root's, and after each of
# the exits above the ramp is the original again.
# SIGTERM reaches no Windows code under Wine: it installs no handler for it,
# so the process just dies. That run only checks the status (143) and
# reports the screen and the ramp it leaves.
# Skips (status 0) when this machine cannot run Xorg with the dummy driver.
#
# The Escape run also asks for --screen 0 (the primary display, as with no
# option) and its headers must say so; --screen 1, a display Wine does not
# have, gives 2 listing the one it has, before anything changes.
#
# The keyboard focus, PointerRoot on this server with no window manager, is
# PointerRoot again after the Escape run, so the desktop (and the next
# program) takes keys; and a ramp another program resets mid-run (xgamma,
# through XF86VidMode as Wine's own ramp) is loaded again within a second.
#
#   wine_exit_test.sh WINDOWS_BUILD GAMMA_PROBE CURSOR_PROBE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
build=$1
gamma=$2
cursor=$3

# shellcheck source=tests/e2e/wine.sh
. "$here/wine.sh"
wine_setup "$build/wineprefix-exit"
cleanup() { wine_stop; }
e2e_begin
xorg_dummy_or_skip dummy.conf
expect_screen "desktop" 1280x1024
[ "$("$cursor" focus)" = PointerRoot ] && pass "desktop: focus PointerRoot" || fail "desktop: focus $("$cursor" focus)"

# Prepared while the desktop is at 1280x1024.
wine_prepare
own=$("$gamma" vidmode)
echo "original ramp: $own"

# square_root_ramp: the ramp's middle entry (level 128 of 255) is the
# square root's, 65535 * sqrt(128/255) = 46431, give or take Wine's own
# interpolation (it gives 46517).
square_root_ramp() { local m; m=$("$gamma" vidmode | cut -d' ' -f3); [ "$m" -ge 46300 ] && [ "$m" -le 46600 ]; }
expect_square_root() {
  eventually 10 square_root_ramp && pass "$1: ramp $("$gamma" vidmode), the square root" ||
    fail "$1: ramp $("$gamma" vidmode), not the square root"
}
expect_own_ramp() {
  [ "$("$gamma" vidmode)" = "$own" ] && pass "$1: ramp $own, the original" ||
    fail "$1: ramp $("$gamma" vidmode), expected $own"
}

# fault_switched WHAT: the fault program has made its second switch (it
# says so, then waits two seconds before its fault).
said_switched() { grep -q "^switched" "$work/out"; }
fault_switched() {
  eventually 20 said_switched && switched && pass "$1: screen switched to 1024x768 at 60 Hz" ||
    fail "$1: screen at $(screen_size) ($(cat "$work/out"))"
}

# --- Escape -------------------------------------------------------------------
"$wine" "$build/stimulus/stimulus.exe" --screen 0 --gamma 2.0 --timing "$work/timing.csv" 2>"$work/err" &
pid=$!
expect_mode_switched "Escape" 20
expect_square_root "Escape: during the run"
# No window manager and no one setting the focus, as on a lab computer:
# with the focus at PointerRoot the keys go to the canvas under the pointer.
wait_for_canvas "Escape" && xdotool mousemove 512 384
# Another program resets the ramp mid-run (once the stimulus runs: its rows
# reach the file after a second): loaded again within a second.
wait_for_rows "ramp reset" "$work/timing.csv" 1 15
xgamma -gamma 1.0 2>/dev/null
[ "$("$gamma" vidmode)" = "$own" ] && pass "ramp reset by another program" || fail "xgamma did not reset the ramp"
expect_square_root "ramp reset: loaded again"
xdotool key Escape
wait_pid $pid 10
expect_status "Escape" 128
expect_screen "Escape: back" 1280x1024
expect_own_ramp "Escape: after"
[ "$("$cursor" focus)" = PointerRoot ] && pass "Escape: focus PointerRoot again" ||
  fail "Escape: focus $("$cursor" focus) (PointerRoot before)"
grep -Eq "^# frame [0-9]+: the display's look-up table was changed by another program; loaded again and read back" \
  "$work/timing.csv" && pass "ramp reset: said in the timing file" || fail "ramp reset: not in the timing file"
grep -qxF '# screen 0: \\.\DISPLAY1, 1280x1024, at 0,0 before the switch' "$work/timing.csv" &&
  grep -qxF "# gamma exponents 2,2,2; inverse loaded into the display's look-up table of 256 entries and read back" \
    "$work/timing.csv" && pass "Escape: the headers state the screen and the gamma" ||
  fail "Escape: headers $(grep '^#' "$work/timing.csv")"

# --- a display that is not there (its messages end in CR LF, as Windows writes text) ---
"$wine" "$build/stimulus/stimulus.exe" --screen 1 2>"$work/err"
STATUS=$?
expect_status "--screen 1" 2
grep -qF '  0: \\.\DISPLAY1, 1280x1024' "$work/err" && pass "--screen 1: the displays listed" ||
  fail "--screen 1: $(cat "$work/err")"
expect_screen "--screen 1: untouched" 1280x1024

# --- faults after a switch, a restore and a second switch ------------------------
for run in "crash 5" "throw 3" "abort 3"; do
  read -ra fields <<<"$run"
  set -- "${fields[@]}"
  "$wine" "$build/tests/win32_fault_program.exe" "$1" >"$work/out" 2>"$work/err-$1" &
  pid=$!
  fault_switched "$1"
  expect_square_root "$1: before the fault"
  wait_pid $pid 30
  expect_status "$1" "$2"
  expect_screen "$1: back" 1280x1024
  expect_own_ramp "$1: after"
done
grep -q "terminate called after throwing an instance of 'std::runtime_error'" "$work/err-throw" &&
  pass "throw: the usual terminate text" || fail "throw: standard error was: $(cat "$work/err-throw")"

# --- Ctrl-C ---------------------------------------------------------------------
# A background job of a script ignores SIGINT; put its default back.
env --default-signal=INT "$wine" "$build/tests/win32_fault_console.exe" wait >"$work/out" 2>"$work/err" &
pid=$!
fault_switched "Ctrl-C"
kill -s INT $pid
wait_pid $pid 10
[ "$STATUS" != 137 ] && pass "Ctrl-C ends the program (status $STATUS)" || fail "Ctrl-C did not end the program"
expect_screen "Ctrl-C: back" 1280x1024
expect_own_ramp "Ctrl-C: after"

# --- SIGTERM --------------------------------------------------------------------
"$wine" "$build/stimulus/stimulus.exe" --gamma 2.0 2>"$work/err" &
pid=$!
expect_mode_switched "SIGTERM" 20
wait_for_canvas "SIGTERM"
kill -s TERM $pid
wait_pid $pid 10
expect_status "SIGTERM" 143
echo "note: after SIGTERM the screen is at $(screen_size) (the program cannot see SIGTERM under Wine)"
wine_stop
echo "note: after SIGTERM and the end of Wine, the ramp is $("$gamma" vidmode) (the original: $own)"

echo "$failures failed"
[ "$failures" = 0 ]
