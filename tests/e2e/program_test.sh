#!/usr/bin/env bash
# The real program under Xvfb: it covers the screen with its canvas, shows
# the fixation mark, ends with status 128 on Escape; on a display that
# cannot take 1024x768, or with no display at all, it fails with status 15.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
program=$1
probe=$2
work=$(mktemp -d)
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

xdotool key Escape
status=$(wait_pid $pid 10)
[ "$status" = 128 ] && pass "Escape ends with 128" || fail "Escape: status $status"
stop_xvfb

# --- a display that cannot take 1024x768 -----------------------------------
start_xvfb 1280x1024x24 || exit 1
"$program" >"$work/stdout" 2>"$work/stderr" &
pid=$!
# A message box may appear: Return closes it.
for _ in $(seq 50); do
  kill -0 $pid 2>/dev/null || break
  if xdotool search --onlyvisible --name "Kestravon Notification" >/dev/null 2>&1; then
    import -window root "$work/box.png"
    xdotool search --onlyvisible --name "Kestravon Notification" windowactivate --sync key Return 2>/dev/null
  fi
  sleep 0.2
done
status=$(wait_pid $pid 10)
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
