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
dismiss_notification $!
expect_status "wrong display size" 15
expect_notified "wrong display size" "API Error (Failed to switch display mode)" "$work/stderr"
expect_screen "wrong display size, unchanged" 1280x1024
stop_xvfb

# --- a display without GLX ------------------------------------------------------
start_xvfb 1024x768x24 "-extension GLX" || exit 1
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

echo "$failures failed"
[ "$failures" = 0 ]
