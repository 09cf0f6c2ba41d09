#!/usr/bin/env bash
# The real program under Xvfb: it covers the screen with its canvas, shows
# the fixation mark, the two rows of bars and the console, answers the
# arrow keys, ends with status 128 on Escape; on a display that
# cannot take 1024x768, or with no display at all, it fails with status 15.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
program=$1
probe=$2
work=$(mktemp -d)
# In a sanitizer build: the Escape exit leaves the stack (the canvas among
# it) by design, and the GL driver is unloaded before a leak check could
# name it, so a leak check at exit says nothing about the program's code.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
trap 'stop_xvfb; rm -rf "$work"' EXIT

# --- a 1024x768 display: the program runs --------------------------------
start_xvfb 1024x768x24 || exit 1
"$program" 2>"$work/stderr" &
pid=$!
if wait_for_window "Kestravon Main Window"; then pass "canvas window mapped"; else fail "no canvas window"; fi
sleep 1
kill -0 $pid 2>/dev/null && pass "still running after a second" || fail "program ended early"

import -window root "$work/shot.png"
geometry=$(xdotool search --onlyvisible --name "Kestravon Main Window" getwindowgeometry 2>/dev/null)
echo "$geometry" | grep -q "Geometry: 1024x768" && pass "window covers the screen" || fail "window geometry: $geometry"
echo "$geometry" | grep -q "Position: 0,0" && pass "window at the origin" || fail "window position: $geometry"
n=$("$probe" "$work/shot.png" count FFFFFF 510 382 514 386)
[ "$n" = 25 ] && pass "fixation mark at 510..514 x 382..386" || fail "fixation mark: $n white pixels"
ring=$(( $("$probe" "$work/shot.png" count FFFFFF 500 372 524 396) ))
[ "$ring" = 25 ] && pass "nothing else white around it" || fail "white around the fixation mark: $ring"
black=$("$probe" "$work/shot.png" count 000000 0 340 1023 380)
[ "$black" = $((1024 * 41)) ] && pass "background black" || fail "background: $black black pixels of $((1024 * 41))"

# The stimulus: two rows of 50 bars, 6 wide, alternating red and green.
if screenshot_with_bars "$work/bars.png" 304; then
  check_row "$work/bars.png" 304 6 50 && pass "upper row: 50 bars of 6 pixels" || fail "upper row: $("$probe" "$work/bars.png" runs 304 150 870 | tr '\n' ' ')"
  check_row "$work/bars.png" 464 6 50 && pass "lower row: 50 bars of 6 pixels" || fail "lower row"
  [ "$("$probe" "$work/bars.png" count 000000 150 340 870 370)" = $((721 * 31)) ] && pass "nothing between the rows" || fail "between the rows"
else
  fail "no screenshot with bars"
fi

# The console: six rows; the first selected (opaque), "Bar Width" half white, showing 6.
# (Row 5 of P and of B lights their first column, one row above the anchor.)
[ "$("$probe" "$work/shot.png" 30 29)" = FFFFFF ] && pass "first row selected" || fail "first row: $("$probe" "$work/shot.png" 30 29)"
[ "$("$probe" "$work/shot.png" 30 79)" = 808080 ] && pass "second row half white" || fail "second row: $("$probe" "$work/shot.png" 30 79)"
# Digit cell of the value ends at 190: 6 lights the lower left stroke, 7 the upper right.
[ "$("$probe" "$work/shot.png" count 808080 178 73 178 79)" = 7 ] && [ "$("$probe" "$work/shot.png" count 808080 186 65 186 71)" = 0 ] &&
  pass "Bar Width shows 6" || fail "Bar Width value before the keys"

bar_width_selected() {
  import -window root "$work/after.png"
  [ "$("$probe" "$work/after.png" 30 79)" = FFFFFF ]
}
bar_width_shows_7() {
  import -window root "$work/after.png"
  [ "$("$probe" "$work/after.png" count FFFFFF 178 73 178 79)" = 0 ] &&
    [ "$("$probe" "$work/after.png" count FFFFFF 186 65 186 71)" = 7 ]
}
xdotool key Down
eventually 5 bar_width_selected && pass "Down selects Bar Width" || fail "Down: $("$probe" "$work/after.png" 30 79)"
xdotool key Right
eventually 5 bar_width_shows_7 && pass "Right makes it 7" || fail "Bar Width value after Right"
if screenshot_with_bars "$work/bars7.png" 304; then
  # 7-pixel bars: L = 588, N = 42.
  check_row "$work/bars7.png" 304 7 42 && pass "upper row: 42 bars of 7 pixels" || fail "upper row after Right: $("$probe" "$work/bars7.png" runs 304 150 870 | tr '\n' ' ')"
  check_row "$work/bars7.png" 464 7 42 && pass "lower row: 42 bars of 7 pixels" || fail "lower row after Right"
else
  fail "no screenshot with 7-pixel bars"
fi

xdotool key Escape
wait_pid $pid 10; status=$STATUS
[ "$status" = 128 ] && pass "Escape ends with 128" || fail "Escape: status $status"
stop_xvfb

# --- a display that cannot take 1024x768 -----------------------------------
start_xvfb 1280x1024x24 || exit 1
"$program" >"$work/stdout" 2>"$work/stderr" &
pid=$!
# A message box may appear: focus it and press Return (there is no window
# manager to give it the focus).
for _ in $(seq 50); do
  kill -0 $pid 2>/dev/null || break
  box=$(window_id "Kestravon Notification")
  if [ -n "$box" ]; then
    import -window root "$work/box.png"
    xdotool windowfocus --sync "$box" key Return 2>/dev/null
  fi
  sleep 0.2
done
wait_pid $pid 10; status=$STATUS
[ "$status" = 15 ] && pass "wrong display size ends with 15" || fail "wrong display size: status $status"
if [ -e "$work/box.png" ]; then
  pass "notification box shown"
else
  grep -q "Kestravon Notification: API Error (Failed to switch display mode)" "$work/stderr" &&
    pass "notification on standard error" || fail "no notification: $(cat "$work/stderr")"
fi
stop_xvfb

# --- no display at all --------------------------------------------------------
( unset DISPLAY WAYLAND_DISPLAY; exec "$program" ) >"$work/stdout" 2>"$work/stderr"
status=$?
[ "$status" = 15 ] && pass "no display ends with 15" || fail "no display: status $status"
grep -q "^Kestravon Notification: " "$work/stderr" && pass "no display: notification on standard error" ||
  fail "no display: stderr was: $(cat "$work/stderr")"

echo "$failures failed"
[ "$failures" = 0 ]
