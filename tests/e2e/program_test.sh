#!/usr/bin/env bash
# The real program under Xvfb: it covers the screen with its canvas, shows
# the fixation mark, the two rows of bars and the console, answers the
# arrow keys, ends with status 128 on Escape; on a display that cannot
# take 1024x768, one without GLX, or with no display at all, it fails with
# status 15 and its documented text, leaving the screen as it was.
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
check_stimulus_session $pid
stop_xvfb

# --- a display that cannot take 1024x768 -----------------------------------
start_xvfb 1280x1024x24 || exit 1
"$program" >"$work/stdout" 2>"$work/stderr" &
pid=$!
dismiss_notification $pid
status=$STATUS
[ "$status" = 15 ] && pass "wrong display size ends with 15" || fail "wrong display size: status $status"
if [ -e "$work/box.png" ]; then
  pass "notification box shown"
else
  grep -q "Kestravon Notification: API Error (Failed to switch display mode)" "$work/stderr" &&
    pass "notification on standard error" || fail "no notification: $(cat "$work/stderr")"
fi
[ "$(screen_size)" = 1280x1024 ] && pass "wrong display size: screen unchanged" ||
  fail "wrong display size: screen now $(screen_size)"
stop_xvfb

# --- a display without GLX ------------------------------------------------------
rm -f "$work/box.png"
start_xvfb 1024x768x24 "-extension GLX" || exit 1
"$program" >"$work/stdout" 2>"$work/stderr" &
pid=$!
dismiss_notification $pid
[ "$STATUS" = 15 ] && pass "no GLX ends with 15" || fail "no GLX: status $STATUS"
if [ -e "$work/box.png" ]; then
  pass "no GLX: notification box shown"
else
  grep -qxF "Kestravon Notification: Failed to create the canvas." "$work/stderr" &&
    pass "no GLX: notification on standard error" || fail "no GLX: no notification: $(cat "$work/stderr")"
fi
[ "$(screen_size)" = 1024x768 ] && pass "no GLX: screen unchanged" || fail "no GLX: screen now $(screen_size)"
stop_xvfb

# --- no display at all --------------------------------------------------------
( unset DISPLAY WAYLAND_DISPLAY; exec "$program" ) >"$work/stdout" 2>"$work/stderr"
status=$?
[ "$status" = 15 ] && pass "no display ends with 15" || fail "no display: status $status"
grep -qxF "Kestravon Notification: Failed to regist control message listner." "$work/stderr" &&
  pass "no display: notification on standard error" || fail "no display: stderr was: $(cat "$work/stderr")"

echo "$failures failed"
[ "$failures" = 0 ]
