#!/usr/bin/env bash
# The Windows build under Wine: its unit tests pass; the program shows the
# stimulus and the console exactly as the native one does, answers the
# arrow keys and ends with 128 on Escape; --record nul.csv (a device) is
# refused with status 2, and a refusal with no standard error is shown in
# the notification box; on a 1280x1024 display the mode
# change fails, the notification box shows, Return closes it, status 15.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
build=$1
probe=$2

# shellcheck source=tests/e2e/wine.sh
. "$here/wine.sh"
wine_setup "$build/wineprefix"
cleanup() { wine_stop; }
e2e_begin
e2e_xvfb 1024x768x24
wine_prepare

"$wine" "$build/tests/unit_tests.exe" >"$work/unit.log" 2>&1
status=$?
tail -n 3 "$work/unit.log"
[ "$status" = 0 ] && pass "unit tests pass as .exe" || fail "unit tests: status $status: $(cat "$work/unit.log")"

"$wine" "$build/stimulus/stimulus.exe" 2>"$work/stderr" &
check_stimulus_session $!

# Xvfb has no retrace and Wine's swaps do not wait: the test swaps find it
# out and the program paces its swaps itself. --priority is taken and the
# header states the priority class obtained.
if start_canvas "--priority realtime" "$work/stderr" \
  "$wine" "$build/stimulus/stimulus.exe" --priority realtime --timing "$work/timing.csv"; then
  focus_canvas
  # Five seconds of frames for the mean interval below.
  wait_for_rows "--priority realtime" "$work/timing.csv" 300 30
  xdotool key Escape
fi
wait_pid $pid 10
expect_status "--priority realtime" 128
grep -q '^# priority asked realtime; obtained priority class HIGH, thread TIME_CRITICAL, timer 1 ms$' \
  "$work/timing.csv" && pass "header: priority class stated" || fail "header: $(head -8 "$work/timing.csv")"
grep -q '^# swaps paced to the refresh period by the program' "$work/timing.csv" &&
  grep -q '^# swap interval 1 .*; 8 blank test swaps when shown: ' "$work/timing.csv" &&
  pass "header: swaps measured and paced" || fail "header: $(head -8 "$work/timing.csv")"
mean=$(awk -F, '/^[0-9]+,[0-9]/ && $1 > 30 { s += $2; n++ } END { if (n) printf "%.3f", s / n }' "$work/timing.csv")
awk -v m="$mean" 'BEGIN { exit !(m > 15.83 && m < 17.50) }' && pass "paced: mean interval $mean ms" ||
  fail "mean interval ${mean:-none} ms, not within 5 % of 16.667"

# A device's name is no record file: refused before any window.
"$wine" "$build/stimulus/stimulus.exe" --record nul.csv 2>"$work/stderr"
STATUS=$?
expect_status "--record nul.csv" 2

# Started as from the desktop, with no standard handles (start /unix gives
# none): a refused option is shown in the notification box instead of
# going unsaid.
"$wine" start /wait /unix "$build/stimulus/stimulus.exe" --recrod x.csv &
dismiss_notification $!
expect_status "no standard error, --recrod" 2
[ "$BOX" = 1 ] && pass "no standard error: the refusal shown in the notification box" ||
  fail "no standard error: the refusal went unsaid"
wine_stop
stop_xvfb

e2e_xvfb 1280x1024x24
"$wine" "$build/stimulus/stimulus.exe" 2>"$work/stderr" &
dismiss_notification $!
expect_status "wrong display size" 15
[ "$BOX" = 1 ] && pass "notification box shown" || fail "no notification box"
# The box's screenshot holds its text; keep it where a person can look.
[ -e "$work/box.png" ] && cp "$work/box.png" "$build/wine-notification.png"

echo "$failures failed"
[ "$failures" = 0 ]
