# shellcheck shell=bash
# Callers set probe (png_probe) where the checks need it; e2e_begin sets work
# (a scratch folder).
# shellcheck disable=SC2154
# Helpers for the end-to-end scripts: checks of the running program, its
# statuses and its screen (the X servers come from x_servers.sh).
# shellcheck source=tests/e2e/x_servers.sh
. "$(dirname "${BASH_SOURCE[0]}")/x_servers.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# --- what every script does first -------------------------------------------

# e2e_begin: makes the scratch folder $work and sets the trap that, when
# the script ends, runs its own clean-up (a function named cleanup, where
# it defines one), stops the X server it started and removes $work.
# In a sanitizer build: the Escape exit leaves the stack (the canvas among
# it) by design, and the GL driver is unloaded before a leak check could
# name it, so a leak check at exit says nothing about the program's code.
e2e_begin() {
  work=$(mktemp -d)
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  trap e2e_end EXIT
}

e2e_end() {
  ! declare -F cleanup >/dev/null || cleanup
  stop_xvfb
  stop_xorg
  rm -rf "$work"
}

# e2e_xvfb GEOMETRY [ARGS]: a private Xvfb (see start_xvfb), or the script
# ends with status 1.
e2e_xvfb() { start_xvfb "$@" || exit 1; }

# xorg_dummy_or_skip CONFIG: Xorg with the dummy driver and CONFIG (a file
# beside this one), its log in $work; where it cannot run here the script
# ends, reported skipped (status 0).
xorg_dummy_or_skip() {
  if ! start_xorg_dummy "$(dirname "${BASH_SOURCE[0]}")/$1" "$work/${1%.conf}.log"; then
    echo "SKIPPED: Xorg with the dummy driver cannot run here (scripts/setup.sh installs it; it needs root)"
    exit 0
  fi
}

# start_canvas WHAT ERR COMMAND...: starts COMMAND (the program) in the
# background with its standard error in ERR, sets pid, and waits until its
# canvas window shows; fails WHAT, with what the program said, when none does.
start_canvas() {
  local what=$1 err=$2
  shift 2
  "$@" 2>"$err" &
  pid=$!
  wait_for_window "Kestravon Main Window" && return 0
  fail "$what: no canvas window: $(head -c 2000 "$err")"
  return 1
}

# focus_canvas: gives the canvas the keyboard focus, as no window manager does.
focus_canvas() { xdotool windowfocus --sync "$(window_id "Kestravon Main Window")" 2>/dev/null; }

# --- waits on a condition, each bounded in time (those given WHAT fail it
# when the bound passes) -------------------------------------------------------

# eventually SECONDS COMMAND...: runs COMMAND until it succeeds, for at most SECONDS.
eventually() {
  local limit=$1
  shift
  for _ in $(seq $((limit * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# wait_for_canvas WHAT: the program's canvas window shows (within 30 s).
wait_for_canvas() {
  wait_for_window "Kestravon Main Window" && return 0
  fail "$1: no canvas window"
  return 1
}

# count_rows FILE: how many rows FILE holds (lines that start with a digit:
# frames, changes or settings, not headers or column names); 0 with no FILE.
count_rows() {
  local n
  n=$(grep -c '^[0-9]' "$1" 2>/dev/null)
  echo "${n:-0}"
}

# has_rows FILE N: FILE exists and holds N rows or more.
has_rows() { [ -e "$1" ] && [ "$(count_rows "$1")" -ge "$2" ]; }

# wait_for_rows WHAT FILE N [SECONDS]: FILE exists and holds N rows or more
# within SECONDS (20 unless given). Timing rows reach the file once a second.
wait_for_rows() {
  local limit=${4:-20}
  eventually "$limit" has_rows "$2" "$3" && return 0
  if [ -e "$2" ]; then
    fail "$1: $(count_rows "$2") rows in $(basename "$2") after $limit s, $3 awaited"
  else
    fail "$1: no $(basename "$2") after $limit s"
  fi
  return 1
}

# stimulus_shown PNG: a screenshot taken now (PNG) shows the canvas drawn:
# the fixation mark's centre is white. Needs $probe (png_probe).
stimulus_shown() { import -window root "$1" && [ "$("$probe" "$1" 512 384)" = FFFFFF ]; }

# wait_for_stimulus WHAT [SECONDS]: a screenshot shows the stimulus within
# SECONDS (20 unless given): the program presents its frames.
wait_for_stimulus() {
  local limit=${2:-20}
  eventually "$limit" stimulus_shown "$work/stimulus.png" && return 0
  fail "$1: no stimulus on the screen after $limit s (the fixation mark's centre: $("$probe" "$work/stimulus.png" 512 384 2>&1))"
  return 1
}

# wait_stopped PID: waits (up to 20 s) until the process has stopped itself
# (fault_program --pause); status 1 when it ends or runs on instead.
wait_stopped() {
  for _ in $(seq 200); do
    case "$(ps -o stat= -p "$1" 2>/dev/null)" in T*) return 0 ;; "") return 1 ;; esac
    sleep 0.1
  done
  return 1
}

# wait_pid PID SECONDS: waits for the process to end (killing it after
# SECONDS) and sets STATUS to its exit status.
wait_pid() {
  local pid=$1 limit=$2
  for _ in $(seq $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then echo "process $pid still running: killed"; kill -9 "$pid"; fi
  wait "$pid"
  STATUS=$?
}

# check_row PNG Y W N: the bar row through line Y holds N bars W pixels wide,
# 2W apart, alternating red and green, on black.
check_row() {
  local png=$1 y=$2 w=$3 n=$4 runs bars=0 last="" ok=1 first=1
  runs=$("$probe" "$png" runs "$y" 150 870) || return 1
  while IFS=x read -r colour length; do
    if [ "$colour" = 000000 ]; then
      # Gaps between bars are one bar width; the margins are wider.
      [ "$first" = 1 ] || [ "$length" = "$w" ] || [ "$bars" = "$n" ] || ok=0
    else
      first=0
      bars=$((bars + 1))
      [ "$length" = "$w" ] || ok=0
      case "$colour" in FF0000|00FF00) ;; *) ok=0 ;; esac
      [ "$colour" != "$last" ] || ok=0
      last=$colour
    fi
  done <<< "$runs"
  [ "$ok" = 1 ] && [ "$bars" = "$n" ]
}

# screenshot_with_bars PNG Y: takes screenshots until one shows bars on line Y.
screenshot_with_bars() {
  for _ in $(seq 40); do
    import -window root "$1"
    [ "$("$probe" "$1" count 000000 150 "$2" 870 "$2")" != 721 ] && return 0
  done
  return 1
}

# check_stimulus_session PID: the running program's canvas covers the screen
# and shows the fixation mark, both rows of bars and the console; Down and
# Right make the bars 7 pixels wide; Escape ends it with status 128.
# Needs $probe (png_probe) and $work (a scratch folder).
check_stimulus_session() {
  local pid=$1 geometry n ring black canvas
  if wait_for_window "Kestravon Main Window"; then
    pass "canvas window mapped"
  else
    # Nothing below can work without it (and xdotool --sync would wait forever).
    fail "no canvas window"
    kill "$pid" 2>/dev/null
    wait_pid "$pid" 10
    echo "the program's status: $STATUS; its standard error:"
    [ -e "$work/stderr" ] && head -c 4000 "$work/stderr"
    echo "windows on $DISPLAY:"
    xdotool search --name . getwindowname %@ 2>&1 | head -20
    return
  fi
  wait_for_stimulus "the program" && pass "the stimulus on the screen"
  kill -0 "$pid" 2>/dev/null && pass "still running with the stimulus shown" || fail "program ended early"
  canvas=$(window_id "Kestravon Main Window")

  import -window root "$work/shot.png"
  geometry=$(xwininfo -id "$canvas" 2>/dev/null)
  echo "$geometry" | grep -q "Width: 1024" && echo "$geometry" | grep -q "Height: 768" &&
    pass "window covers the screen" || fail "window geometry: $geometry"
  echo "$geometry" | grep -q "Absolute upper-left X:  0" && echo "$geometry" | grep -q "Absolute upper-left Y:  0" &&
    pass "window at the origin" || fail "window position: $geometry"
  n=$("$probe" "$work/shot.png" count FFFFFF 510 382 514 386)
  [ "$n" = 25 ] && pass "fixation mark at 510..514 x 382..386" || fail "fixation mark: $n white pixels"
  ring=$("$probe" "$work/shot.png" count FFFFFF 500 372 524 396)
  [ "$ring" = 25 ] && pass "nothing else white around it" || fail "white around the fixation mark: $ring"
  black=$("$probe" "$work/shot.png" count 000000 0 340 1023 380)
  [ "$black" = $((1024 * 41)) ] && pass "background black" || fail "background: $black black pixels of $((1024 * 41))"

  # The stimulus: two rows of 50 bars, 6 wide, alternating red and green.
  if screenshot_with_bars "$work/bars.png" 304; then
    check_row "$work/bars.png" 304 6 50 && pass "upper row: 50 bars of 6 pixels" ||
      fail "upper row: $("$probe" "$work/bars.png" runs 304 150 870 | tr '\n' ' ')"
    check_row "$work/bars.png" 464 6 50 && pass "lower row: 50 bars of 6 pixels" || fail "lower row"
    [ "$("$probe" "$work/bars.png" count 000000 150 340 870 370)" = $((721 * 31)) ] &&
      pass "nothing between the rows" || fail "between the rows"
  else
    fail "no screenshot with bars"
  fi

  # The console: six rows; the first selected (opaque), "Bar Width" half
  # white, showing 6. (Row 5 of P and of B lights their first column, one
  # row above the anchor.) The value's digit cell ends at 190: 6 lights the
  # lower left stroke, 7 the upper right one.
  [ "$("$probe" "$work/shot.png" 30 29)" = FFFFFF ] && pass "first row selected" ||
    fail "first row: $("$probe" "$work/shot.png" 30 29)"
  [ "$("$probe" "$work/shot.png" 30 79)" = 808080 ] && pass "second row half white" ||
    fail "second row: $("$probe" "$work/shot.png" 30 79)"
  [ "$("$probe" "$work/shot.png" count 808080 178 73 178 79)" = 7 ] &&
    [ "$("$probe" "$work/shot.png" count 808080 186 65 186 71)" = 0 ] &&
    pass "Bar Width shows 6" || fail "Bar Width value before the keys"

  # No window manager gives the canvas the focus: give it explicitly.
  xdotool windowfocus --sync "$canvas" 2>/dev/null
  xdotool key Down
  eventually 5 bar_width_selected && pass "Down selects Bar Width" || fail "Down: $("$probe" "$work/after.png" 30 79)"
  xdotool key Right
  eventually 5 bar_width_shows_7 && pass "Right makes it 7" || fail "Bar Width value after Right"
  if screenshot_with_bars "$work/bars7.png" 304; then
    # 7-pixel bars: L = 588, N = 42.
    check_row "$work/bars7.png" 304 7 42 && pass "upper row: 42 bars of 7 pixels" ||
      fail "upper row after Right: $("$probe" "$work/bars7.png" runs 304 150 870 | tr '\n' ' ')"
    check_row "$work/bars7.png" 464 7 42 && pass "lower row: 42 bars of 7 pixels" || fail "lower row after Right"
  else
    fail "no screenshot with 7-pixel bars"
  fi

  xdotool key Escape
  wait_pid "$pid" 10
  [ "$STATUS" = 128 ] && pass "Escape ends with 128" || fail "Escape: status $STATUS"
}

bar_width_selected() {
  import -window root "$work/after.png"
  [ "$("$probe" "$work/after.png" 30 79)" = FFFFFF ]
}

bar_width_shows_7() {
  import -window root "$work/after.png"
  [ "$("$probe" "$work/after.png" count FFFFFF 178 73 178 79)" = 0 ] &&
    [ "$("$probe" "$work/after.png" count FFFFFF 186 65 186 71)" = 7 ]
}

# box_drawn BOX PNG: a screenshot taken now (PNG) shows the window BOX
# mapped and drawn: more over it than one colour (its text and button, not
# its background alone). Needs $probe (png_probe).
box_drawn() {
  local x y w h l t r b
  read -r x y w h < <(xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X:/ { x = $4 }
    /Absolute upper-left Y:/ { y = $4 } /Width:/ { w = $2 } /Height:/ { h = $2 }
    /Map State: IsViewable/ { shown = 1 } END { if (shown) print x, y, w, h }')
  [ -n "${h:-}" ] || return 1
  import -window root "$2" || return 1
  # Only what lies on the screen.
  read -r r b < <(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w - 1, h - 1 }')
  l=$((x > 0 ? x : 0)) t=$((y > 0 ? y : 0))
  r=$((x + w - 1 < r ? x + w - 1 : r)) b=$((y + h - 1 < b ? y + h - 1 : b))
  [ "$("$probe" "$2" count "$("$probe" "$2" "$l" "$t")" "$l" "$t" "$r" "$b")" -lt $(((r - l + 1) * (b - t + 1))) ]
}

# dismiss_notification PID: waits for the program to end, pressing Return in
# the notification box whenever one shows (saving a screenshot of it, once
# drawn, as $work/box.png); sets STATUS, and BOX (1 when a box was shown).
dismiss_notification() {
  local pid=$1 box
  BOX=0
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    box=$(window_id "Kestravon Notification")
    if [ -n "$box" ]; then
      BOX=1
      # The screenshot is for a person to read; the box is dismissed either way.
      eventually 5 box_drawn "$box" "$work/box.png" || echo "note: the box showed nothing over its background within 5 s"
      xdotool windowfocus --sync "$box" key Return 2>/dev/null
    fi
    sleep 0.2  # between looks for the box
  done
  wait_pid "$pid" 10
}

# expect_status WHAT N: the program ended with status N (STATUS).
expect_status() {
  [ "$STATUS" = "$2" ] && pass "$1: status $2" || fail "$1: status $STATUS, expected $2"
}

# expect_notified WHAT TEXT ERRFILE: the failure was shown in a box (BOX=1)
# or, with none, as the line "Kestravon Notification: TEXT" in ERRFILE.
expect_notified() {
  if [ "$BOX" = 1 ]; then
    pass "$1: notification box shown"
  else
    grep -qxF "Kestravon Notification: $2" "$3" && pass "$1: \"$2\" on standard error" ||
      fail "$1: no notification: $(cat "$3")"
  fi
}

# expect_mode_switched WHAT SECONDS: within SECONDS the screen runs at
# 1024x768, 60 Hz.
expect_mode_switched() {
  eventually "$2" switched && pass "$1: screen switched to 1024x768 at 60 Hz" ||
    fail "$1: screen at $(screen_size): $(xrandr --current | grep '\*')"
}

# expect_screen WHAT SIZE: the screen is at SIZE (for example 1280x1024).
expect_screen() {
  [ "$(screen_size)" = "$2" ] && pass "$1: screen at $2" || fail "$1: screen at $(screen_size), expected $2"
}
