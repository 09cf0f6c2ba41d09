# Helpers for the end-to-end scripts: a private X server and checks.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# start_xvfb GEOMETRY: starts Xvfb on a free display, sets DISPLAY and XVFB_PID.
start_xvfb() {
  local n
  for n in $(seq 91 160); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 "$1" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY"; return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

# wait_for_window TITLE: waits until a window with that title is mapped.
wait_for_window() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
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

# window_id TITLE: the id of a top-level window with that title (xdotool's
# search misses windows that set only the UTF-8 name), or nothing.
window_id() {
  xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) {print $1; exit}'
}

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
