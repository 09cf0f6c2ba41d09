#!/usr/bin/env bash
# An adjustment session on the real program under Xvfb, as an observer runs
# one with real keys (xdotool):
#   three trials to the end: the console hidden, the gap showing the
#   fixation mark alone, a row written the moment each setting is accepted,
#   the summary in the file and on standard error, status 0;
#   kill -9 in the middle: every setting accepted before it is in the file;
#   Escape in the middle: status 128, and the file says how many were done.
#
#   session_test.sh STIMULUS PNG_PROBE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/lib.sh
. "$here/lib.sh"
program=$1
probe=$2
e2e_begin
e2e_xvfb 1024x768x24

# start_session WHAT FILE OPTIONS...: starts the program on a session and
# gives its canvas the focus (no window manager does); sets pid.
start_session() {
  local what=$1 file=$2
  shift 2
  start_canvas "$what" "$work/err" "$program" --results "$file" "$@" && focus_canvas
}

# adjust_and_accept WHAT FILE N: once the trial shows its bars, Left, Left,
# Right and Return; the file then holds N settings.
adjust_and_accept() {
  screenshot_with_bars "$work/trial.png" 304 || fail "$1: no bars"
  [ "$("$probe" "$work/trial.png" count 000000 0 0 199 259)" = $((200 * 260)) ] &&
    pass "$1: the console is hidden" || fail "$1: something drawn where the console would be"
  xdotool key --delay 150 Left Left Right Return
  eventually 5 has_rows "$2" "$3" && pass "$1: written the moment it was accepted" ||
    fail "$1: $(count_rows "$2") settings in the file"
}

# --- three trials to the end -------------------------------------------------------
start_session "session" "$work/s1.csv" --trials 3 --seed 7 --gap 2000
for trial in 1 2 3; do
  adjust_and_accept "trial $trial" "$work/s1.csv" "$trial"
  if [ "$trial" -lt 3 ]; then
    import -window root "$work/gap.png"
    [ "$("$probe" "$work/gap.png" count FFFFFF 510 382 514 386)" = 25 ] &&
      [ "$("$probe" "$work/gap.png" count 000000 0 0 1023 767)" = $((1024 * 768 - 25)) ] &&
      pass "gap $trial: the fixation mark alone" || fail "gap $trial: more than the fixation mark on the screen"
  fi
done
wait_pid $pid 10
expect_status "three accepted settings end the session" 0
settings=$(grep -Ec '^[123],[123],,[0-9.]+,[0-9.]+,3,[0-9]+\.[0-9]{3},[0-9]+,[0-9]+(,[-0-9.]+){6}$' "$work/s1.csv")
[ "$settings" = 3 ] && pass "three rows, three steps each" || fail "rows: $(grep -v '^#' "$work/s1.csv")"
grep -qxF "# completed: 3 of 3 planned trials done" "$work/s1.csv" && grep -q "^# seed: 7 (given)$" "$work/s1.csv" &&
  pass "the file says the session was completed, and its seed" || fail "end: $(grep '^#' "$work/s1.csv")"
grep -Eq '^Kestravon: 3 settings of Green luminance, mean [0-9.]+, SD [0-9.e-]+, 95% CI of the mean' "$work/err" &&
  pass "summary on standard error" || fail "standard error: $(cat "$work/err")"
# The README's plot of it.
gnuplot -e "results='$work/s1.csv'" "$here/../../scripts/plot-settings.gp" 2>"$work/gnuplot.err" &&
  [ "$("$probe" "$work/s1.png" count 000000 0 0 799 499)" -gt 1000 ] && [ ! -s "$work/gnuplot.err" ] &&
  pass "scripts/plot-settings.gp plots it" || fail "plot: $(cat "$work/gnuplot.err")"
echo "--- the results file of that session:"
cat "$work/s1.csv"
echo "---"

# --- kill -9 in the middle ---------------------------------------------------------
start_session "kill -9" "$work/s2.csv" --trials 5 --gap 300
adjust_and_accept "kill -9, trial 1" "$work/s2.csv" 1
adjust_and_accept "kill -9, trial 2" "$work/s2.csv" 2
kill -9 $pid
wait_pid $pid 5
[ "$(count_rows "$work/s2.csv")" = 2 ] && [ "$(tail -c 1 "$work/s2.csv" | od -An -c | tr -d ' ')" = '\n' ] &&
  pass "kill -9: both accepted settings kept, in whole rows" || fail "kill -9: $(cat "$work/s2.csv")"

# --- Escape in the middle ----------------------------------------------------------
start_session "Escape" "$work/s3.csv" --trials 2 --conditions "SOA=1,4" --gap 300
adjust_and_accept "Escape, trial 1" "$work/s3.csv" 1
screenshot_with_bars "$work/trial.png" 304
xdotool key Escape
wait_pid $pid 10
expect_status "Escape in the middle" 128
grep -qxF "# ended by Escape: 1 of 4 planned trials done" "$work/s3.csv" &&
  grep -Eq '^1,1,SOA=[14],' "$work/s3.csv" && pass "Escape: the file says 1 of 4 done, with its condition" ||
  fail "Escape: $(cat "$work/s3.csv")"

[ "$failures" = 0 ] || exit 1
