#!/usr/bin/env bash
# The subject's display, on X servers that really switch modes and keep a
# RandR gamma ramp per CRTC (Xorg with the dummy video driver):
#   two X screens (dummy_two_screens.conf): --screen 1 switches screen 1
#   only, with --gamma 2.0 its ramp is the inverse while the program runs
#   and screen 0 keeps its mode and ramp; after Escape both are as before;
#   the headers say so; --screen 2 gives 2, listing the displays;
#   one screen (dummy.conf): with --gamma 2.0 the ramp read back from the
#   server is the inverse during the run, and the original again after
#   Escape (128), SIGTERM (143), a destroyed canvas and a cut connection
#   (15) and a crash (139); a ramp another program resets mid-run is
#   loaded again and said in the timing file; malformed values and
#   tables give 2 with their messages and touch nothing.
# Skips (status 0) when this machine cannot run Xorg with the dummy driver.
#
#   subject_display_test.sh STIMULUS FAULT_PROGRAM GAMMA_PROBE CURSOR_PROBE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
faulty=$2
gamma=$3
cursor=$4
e2e_begin
# In a sanitizer build the crash must reach the program's own handler, as
# in the shipped build, rather than the sanitizer's report and exit 1.
export ASAN_OPTIONS="$ASAN_OPTIONS:handle_segv=0:handle_sigbus=0:handle_sigfpe=0"

# ramp [SCREEN]: "entries crc middle" of the screen's RandR ramp.
ramp() { DISPLAY="${base}.${1:-0}" "$gamma" randr | cut -d' ' -f1-3; }
inverse() { [ "$(DISPLAY="${base}.${1:-0}" "$gamma" randr 2.0 | cut -d' ' -f4-)" = inverse ]; }
size_of() { DISPLAY="${base}.$1" screen_size; }
switched_on() { DISPLAY="${base}.$1" switched; }

# expect_ramp WHAT WANTED [SCREEN]: the ramp is WANTED ("entries crc middle").
expect_ramp() {
  local now
  now=$(ramp "${3:-0}")
  [ "$now" = "$2" ] && pass "$1: ramp $now, the original" || fail "$1: ramp $now, expected $2"
}

# expect_inverse WHAT [SCREEN]: the ramp read back now is the inverse of 2.0.
expect_inverse() {
  if eventually 10 inverse "${2:-0}"; then
    pass "$1: ramp $(ramp "${2:-0}"), the inverse of 2.0"
  else
    fail "$1: ramp $(ramp "${2:-0}") is not the inverse of 2.0"
  fi
}

xorg_dummy_or_skip dummy_two_screens.conf
base=${DISPLAY%.*}

# --- two screens: --screen 1 ---------------------------------------------------------
own0=$(ramp 0)
own1=$(ramp 1)
[ "$(size_of 0) $(size_of 1)" = "1280x1024 1280x1024" ] && pass "two screens at 1280x1024" ||
  fail "screens at $(size_of 0) and $(size_of 1)"
"$program" --screen 1 --gamma 2.0 --timing "$work/screen1.csv" 2>"$work/err" &
pid=$!
eventually 15 switched_on 1 && pass "--screen 1: screen 1 switched to 1024x768 at 60 Hz" ||
  fail "--screen 1: screen 1 at $(size_of 1): $(cat "$work/err")"
expect_inverse "--screen 1: screen 1" 1
expect_screen "--screen 1: screen 0 keeps its mode" 1280x1024
expect_ramp "--screen 1: screen 0 keeps its ramp" "$own0" 0
DISPLAY="$base.1" xdotool key Escape
wait_pid $pid 10
expect_status "--screen 1: Escape" 128
[ "$(size_of 1)" = 1280x1024 ] && pass "--screen 1: screen 1 back at 1280x1024" || fail "screen 1 at $(size_of 1)"
expect_ramp "--screen 1: after Escape, screen 1" "$own1" 1
grep -qxF "# screen 1: DUMMY0, 1280x1024, X screen 1 at 0,0 before the switch" "$work/screen1.csv" &&
  grep -qxF "# gamma exponents 2,2,2; inverse loaded into the display's look-up table of ${own1%% *} entries and read back" \
    "$work/screen1.csv" && pass "--screen 1: the headers state the screen and the gamma" ||
  fail "--screen 1: headers $(grep '^#' "$work/screen1.csv")"

"$program" --screen 2 2>"$work/err"
STATUS=$?
expect_status "--screen 2" 2
# Two outputs of the same name and size: their X screens tell them apart.
grep -qF "there is no display 2; the displays are:" "$work/err" &&
  grep -qxF "  0: DUMMY0, 1280x1024, X screen 0 at 0,0" "$work/err" &&
  grep -qxF "  1: DUMMY0, 1280x1024, X screen 1 at 0,0" "$work/err" &&
  pass "--screen 2: the displays listed, told apart" || fail "--screen 2: $(cat "$work/err")"
stop_xorg

# --- one screen: the ramp on every way out --------------------------------------------
if ! start_xorg_dummy "$here/dummy.conf" "$work/xorg.log"; then
  fail "Xorg (one screen) did not start"
  exit 1
fi
base=${DISPLAY%.*}
own=$(ramp)
echo "original ramp: $own"

# ends_restored WHAT STATUS COMMAND...: a run with --gamma 2.0 switches the
# mode and loads the inverse; COMMAND ends it (the program is $pid); it
# ends with STATUS, the mode and the original ramp given back.
ends_restored() {
  local what=$1 status=$2
  shift 2
  "$program" --gamma 2.0 2>"$work/err" &
  pid=$!
  expect_mode_switched "$what" 15
  expect_inverse "$what: during the run"
  "$@"
  wait_pid $pid 10
  expect_status "$what" "$status"
  expect_screen "$what: back" 1280x1024
  expect_ramp "$what: after" "$own"
}
terminate() { kill -s TERM "$pid"; }
close_canvas() { xdotool windowclose "$(window_id "Kestravon Main Window")"; }
ends_restored "Escape" 128 xdotool key Escape
ends_restored "SIGTERM" 143 terminate
ends_restored "destroyed canvas" 15 close_canvas
# The connection cut, as xkill does: given back over a fresh one.
cut_connection() { "$cursor" kill-client "$(window_id "Kestravon Main Window")"; }
ends_restored "connection cut" 15 cut_connection

# Another program resets the ramp mid-run: loaded again within a second, and said.
"$program" --gamma 2.0 --timing "$work/reset.csv" 2>"$work/err" &
pid=$!
expect_mode_switched "ramp reset" 15
expect_inverse "ramp reset: before"
# Once the stimulus runs (its rows reach the file after a second): a table
# changed during the canvas's opening is a table that did not stay loaded.
wait_for_rows "ramp reset" "$work/reset.csv" 1 15
output=$(xrandr --current | awk '/ connected/ {print $1; exit}')
xrandr --output "$output" --gamma 1:1:1
expect_inverse "ramp reset: loaded again"
xdotool key Escape
wait_pid $pid 10
expect_status "ramp reset" 128
grep -Eq "^# frame [0-9]+: the display's look-up table was changed by another program; loaded again and read back$" \
  "$work/reset.csv" && pass "ramp reset: in the timing file: $(grep '^# frame' "$work/reset.csv")" ||
  fail "ramp reset: not in the timing file; standard error: $(cat "$work/err")"
expect_ramp "ramp reset: after" "$own"

"$faulty" crash-mid-run --pause --gamma 2.0 >"$work/out" 2>"$work/err" &
pid=$!
expect_mode_switched "crash" 15
expect_inverse "crash: at the fault"
wait_stopped $pid || fail "crash: never reached the fault: $(cat "$work/err")"
kill -CONT $pid 2>/dev/null
wait_pid $pid 10
expect_status "crash" 139
expect_screen "crash: back" 1280x1024
expect_ramp "crash: after" "$own"

# --- malformed values and tables: 2, before anything changes ---------------------------
printf '0,0,0\n0.5,0.5,0.5\n0.4,1,1\n' >"$work/decreasing.csv"
printf '0,0,0\n1,1\n' >"$work/columns.csv"
for run in "--gamma 0.4|--gamma \"0.4\": 0.4 is outside 0.5 to 5" \
  "--gamma nan|\"nan\" is not a number" \
  "--gamma-table $work/decreasing.csv|line 3: the r value 0.4 is below the one on line 2" \
  "--gamma-table $work/columns.csv|line 2: 2 columns where three (r,g,b) belong" \
  "--gamma-table $work/missing.csv|cannot read the gamma table"; do
  IFS='|' read -r options says <<<"$run"
  read -ra arguments <<<"$options"
  "$program" "${arguments[@]}" 2>"$work/err"
  STATUS=$?
  expect_status "$options" 2
  grep -qF -- "$says" "$work/err" && pass "$options: \"$says\"" || fail "$options: $(cat "$work/err")"
done
expect_screen "malformed: untouched" 1280x1024
expect_ramp "malformed: untouched" "$own"

echo "$failures failed"
[ "$failures" = 0 ]
