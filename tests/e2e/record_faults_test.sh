#!/usr/bin/env bash
# The session record when the file system fails it, on the real program
# under Xvfb. What the record promises:
#   kill -9: every change kept, and the timing rows up to the last second;
#   a full file system at start: status 2 before any window, no file left;
#   a file-size limit reached mid-run (ulimit -f): the failure is reported
#   at once, the stimulus runs on, Escape ends it with status 3 and the
#   report, and the file ends in a whole row;
#   the same, ended by SIGTERM: status 143, and the summary and the failure
#   are still said;
#   Ctrl-C or SIGTERM with no failure: every frame the summary counts is a
#   row of the timing file;
#   a run that fails before its first frame (no display) leaves no file;
#   an adjustment session's results file on a full file system: the same.
# The full file system is a small tmpfs, which needs root to mount: where
# it cannot be mounted the rest runs and the test reports itself skipped.
#
#   record_faults_test.sh STIMULUS
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
mounted=0
cleanup() { [ "$mounted" = 0 ] || umount "$full"; }
e2e_begin
full="$work/full"
e2e_xvfb 1024x768x24

# --- a full file system at start ----------------------------------------------------
mkdir -p "$full"
if mount -t tmpfs -o size=64k tmpfs "$full" 2>/dev/null; then
  mounted=1
  dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null
  "$program" --record "$full/record.csv" --timing "$full/timing.csv" 2>"$work/err" &
  pid=$!
  wait_pid $pid 10
  expect_status "full disk" 2
  grep -qxF "Kestravon: cannot write the record file \"$full/record.csv\": No space left on device" "$work/err" &&
    pass "full disk: said before the display" || fail "full disk: standard error was: $(cat "$work/err")"
  [ ! -e "$full/record.csv" ] && [ ! -e "$full/timing.csv" ] && pass "full disk: no file left" ||
    fail "full disk: left $(ls "$full")"
  # An adjustment session's results file keeps the same promise.
  "$program" --trials 2 --results "$full/results.csv" 2>"$work/err" &
  pid=$!
  wait_pid $pid 10
  expect_status "full disk, results" 2
  grep -qxF "Kestravon: cannot write the results file \"$full/results.csv\": No space left on device" "$work/err" &&
    [ ! -e "$full/results.csv" ] && pass "full disk, results: said before the display, no file left" ||
    fail "full disk, results: $(cat "$work/err"); left $(ls "$full")"
fi

# --- a file-size limit reached mid-run -----------------------------------------------
# Standard error goes through a pipe: the limit holds for every file.
failure="Kestravon: writing the timing file \"$work/timing.csv\" failed: File too large; the rows after that are lost"
said_failure() { grep -qxF "$failure" "$work/err"; }

# limited_run: starts the program under a 1 KiB file-size limit and waits
# until it has reported the failed write; sets pid.
limited_run() {
  rm -f "$work/record.csv" "$work/timing.csv" "$work/err"  # the last run's report must not count
  bash -c 'ulimit -f 2; exec "$0" --record "$1" --timing "$2"' "$program" "$work/record.csv" "$work/timing.csv" \
    2> >(cat >"$work/err") &
  pid=$!
  eventually 10 said_failure && pass "$1: failure reported at once" || fail "$1: no report: $(cat "$work/err")"
  # The check itself: half a second on, the program still runs.
  sleep 0.5
  kill -0 $pid 2>/dev/null && pass "$1: the stimulus runs on" || fail "$1: ended with the write"
}

# expect_end_report WHAT: the summary line, then the failure again (once
# the pipe's reader, which may lag the program's end, has passed it on).
end_reported() {
  grep -Eq '^Kestravon: [0-9]+ frames presented' "$work/err" && [ "$(grep -cxF "$failure" "$work/err")" = 2 ]
}
expect_end_report() {
  eventually 5 end_reported && pass "$1: summary and failure said at the end" ||
    fail "$1: standard error was: $(cat "$work/err")"
}

limited_run "file-size limit"
canvas=$(window_id "Kestravon Main Window")
[ -n "$canvas" ] && xdotool windowfocus --sync "$canvas" key Escape 2>/dev/null
wait_pid $pid 10
expect_status "file-size limit, Escape" 3
expect_end_report "file-size limit, Escape"
rows=$(grep -Ec '^[0-9]+,([0-9]+\.[0-9]{3})?,[0-9]+,[01],[0-9]+\.[0-9]{3},[01]$' "$work/timing.csv")
[ "$(tail -c 1 "$work/timing.csv" | od -An -c | tr -d ' ')" = '\n' ] && [ "$rows" -gt 10 ] &&
  ! grep -Eqv '^(#.*|frame,interval_ms,missed,early,onset_ms,flash|[0-9]+,([0-9]+\.[0-9]{3})?,[0-9]+,[01],[0-9]+\.[0-9]{3},[01])$' "$work/timing.csv" &&
  pass "file-size limit: the timing file holds $rows whole rows" ||
  fail "file-size limit: timing file ends: $(tail -c 60 "$work/timing.csv" | od -c | tail -3)"
grep -qx '0,0.000,Green luminance,1' "$work/record.csv" && pass "file-size limit: the record kept its rows" ||
  fail "file-size limit: record: $(cat "$work/record.csv")"

limited_run "signal after the failure"
kill -TERM $pid
wait_pid $pid 10
expect_status "signal after the failure" 143
expect_end_report "signal after the failure"

# --- a catchable end: every frame counted is a row ------------------------------------
# Ctrl-C once the stimulus runs, and SIGTERM just after the canvas opens:
# the rows still buffered are written, and the summary is said.
for end in "INT 130 120" "TERM 143 0"; do
  read -r signal status after <<<"$end"
  rm -f "$work/record.csv" "$work/timing.csv"
  # (A shell starts a background job with SIGINT ignored; a terminal's Ctrl-C finds it not.)
  start_canvas "SIG$signal" "$work/err" env --default-signal=INT "$program" --timing "$work/timing.csv"
  # The rows reach the file once a second: once the rows awaited are there,
  # the signal comes mid-second, with rows buffered (a time chosen, not awaited).
  wait_for_rows "SIG$signal" "$work/timing.csv" "$after" 10
  sleep 0.5
  kill -"$signal" $pid
  wait_pid $pid 10
  expect_status "SIG$signal" "$status"
  counted=$(sed -n 's/^Kestravon: \([0-9]*\) frames presented.*/\1/p' "$work/err")
  rows=$(grep -Ec '^[0-9]+,([0-9]+\.[0-9]{3})?,[0-9]+,[01],[0-9]+\.[0-9]{3},[01]$' "$work/timing.csv")
  [ -n "$counted" ] && [ "$rows" = "$counted" ] && pass "SIG$signal: $rows rows for the $counted frames said" ||
    fail "SIG$signal: $rows rows; standard error: $(cat "$work/err")"
done

# --- kill -9 -------------------------------------------------------------------------
# Nothing can run at SIGKILL: every change must be in the file already,
# and the timing rows up to the last second.
rm -f "$work/record.csv" "$work/timing.csv"
start_canvas "kill -9" "$work/err" "$program" --record "$work/record.csv" --timing "$work/timing.csv" && focus_canvas
xdotool key --delay 150 Down Right Right Right
# Two more flushes of the timing rows, a second apart: the program has run
# a second past the keys (the changes are never waited for: they must be
# in the file at once).
for _ in 1 2; do
  wait_for_rows "kill -9" "$work/timing.csv" $(($(count_rows "$work/timing.csv") + 1)) 10 || break
done
kill -KILL $pid
wait_pid $pid 5
expect_status "kill -9" 137
changes=$(grep -Ec '^[0-9]+,[0-9]+\.[0-9]{3},Bar Width,(7|8|9)$' "$work/record.csv")
[ "$changes" = 3 ] && pass "kill -9: all 3 changes kept" || fail "kill -9: record: $(cat "$work/record.csv")"
rows=$(grep -Ec '^[0-9]+,([0-9]+\.[0-9]{3})?,[0-9]+,[01],[0-9]+\.[0-9]{3},[01]$' "$work/timing.csv")
[ "$rows" -ge 60 ] && pass "kill -9: $rows timing rows kept" || fail "kill -9: $rows timing rows"

# --- a run that fails before its first frame -----------------------------------------
rm -f "$work/record.csv" "$work/timing.csv"
(unset DISPLAY WAYLAND_DISPLAY; exec "$program" --record "$work/record.csv" --timing "$work/timing.csv") 2>"$work/err"
STATUS=$?
expect_status "no display" 15
[ ! -e "$work/record.csv" ] && [ ! -e "$work/timing.csv" ] && pass "no display: no file left" ||
  fail "no display: left $(ls "$work")"

echo "$failures failed"
[ "$failures" = 0 ] || exit 1
[ "$mounted" = 1 ] || echo "SKIPPED: the full file system case needs root to mount a tmpfs; the other cases passed"
