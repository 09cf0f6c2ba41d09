#!/usr/bin/env bash
# The real program under Xvfb: it covers the screen with its canvas, shows
# the fixation mark, the two rows of bars and the console, answers the
# arrow keys, ends with status 128 on Escape; on a display that cannot
# take 1024x768, one without GLX, or with no display at all, it fails with
# status 15 and its documented text, leaving the screen as it was. With
# --record and --timing it writes both files and the summary; an existing
# file or a mistyped option ends it with status 2 before any window.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
probe=$2
e2e_begin

# --- a 1024x768 display: the program runs --------------------------------
e2e_xvfb 1024x768x24
"$program" 2>"$work/stderr" &
pid=$!
check_stimulus_session $pid

# --- the session record: options, files, summary --------------------------------
if start_canvas "recorded session" "$work/stderr" \
  "$program" --record "$work/record.csv" --timing "$work/timing.csv" --set "Bar Width=8"; then
  focus_canvas
  wait_for_stimulus "recorded session"
  before=$(count_rows "$work/record.csv")
  xdotool key Down
  eventually 5 bar_width_selected || fail "recorded session: Down did not select Bar Width"
  xdotool key Right
  wait_for_rows "recorded session: the change" "$work/record.csv" $((before + 1))
  # More than a second of frames, as the timing check below asks.
  wait_for_rows "recorded session" "$work/timing.csv" 61
  xdotool key Escape
fi
wait_pid $pid 10
expect_status "recorded session" 128
grep -q '^0,0\.000,Bar Width,8$' "$work/record.csv" && pass "record: --set gave Bar Width 8" ||
  fail "record: $(cat "$work/record.csv")"
grep -Eq '^[0-9]+,[0-9]+\.[0-9]{3},Bar Width,9$' "$work/record.csv" && pass "record: Right made it 9" ||
  fail "record: no change row: $(cat "$work/record.csv")"
grep -q '^# swaps paced to the refresh period' "$work/timing.csv" && pass "timing: pacing stated" ||
  fail "timing: $(head -6 "$work/timing.csv")"
rows=$(grep -Ec '^[0-9]+,' "$work/timing.csv")
summary=$(grep '^Kestravon: .* frames presented' "$work/stderr")
[ "$rows" -gt 60 ] && echo "$summary" | grep -q "^Kestravon: $rows frames presented" &&
  pass "timing: $rows frames, as the summary says: $summary" || fail "timing rows $rows; standard error: $(cat "$work/stderr")"
"$program" --record "$work/record.csv" 2>"$work/stderr"
STATUS=$?
expect_status "an existing record file" 2
grep -q "never overwritten" "$work/stderr" && pass "existing file refused" || fail "existing file: $(cat "$work/stderr")"
"$program" --recrod "$work/other.csv" 2>"$work/stderr"
STATUS=$?
expect_status "a mistyped option" 2
grep -q 'unknown option "--recrod"' "$work/stderr" && grep -q '^usage:' "$work/stderr" &&
  pass "mistyped option: named, with the usage" || fail "mistyped option: $(cat "$work/stderr")"
stop_xvfb

# --- a display that cannot take 1024x768 -----------------------------------
e2e_xvfb 1280x1024x24
"$program" >"$work/stdout" 2>"$work/stderr" &
dismiss_notification $!
expect_status "wrong display size" 15
expect_notified "wrong display size" "API Error (Failed to switch display mode)" "$work/stderr"
expect_screen "wrong display size, unchanged" 1280x1024
stop_xvfb

# --- a display without GLX ------------------------------------------------------
e2e_xvfb 1024x768x24 "-extension GLX"
"$program" >"$work/stdout" 2>"$work/stderr" &
dismiss_notification $!
expect_status "no GLX" 15
expect_notified "no GLX" "Failed to create the canvas." "$work/stderr"
expect_screen "no GLX, unchanged" 1024x768
stop_xvfb

# --- no display at all --------------------------------------------------------
( unset DISPLAY WAYLAND_DISPLAY; exec "$program" ) >"$work/stdout" 2>"$work/stderr"
STATUS=$? BOX=0
expect_status "no display" 15
expect_notified "no display" "Failed to regist control message listner." "$work/stderr"
[ "$(wc -l <"$work/stderr")" = 1 ] && pass "no display: that line alone on standard error" ||
  fail "no display: more on standard error: $(cat "$work/stderr")"

echo "$failures failed"
[ "$failures" = 0 ]
