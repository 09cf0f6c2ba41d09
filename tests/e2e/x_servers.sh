# shellcheck shell=bash
# X servers for the end-to-end tests and benchmarks: a private Xvfb or Xorg
# (dummy driver) on a display of its own choosing, and finding windows on it.

# start_x_server COMMAND...: starts the X server COMMAND with "-displayfd",
# so that it picks a free display number itself (servers started at once by
# tests running side by side never take the same one), and waits up to 20 s
# for it to accept connections. Sets DISPLAY and X_SERVER_PID; on failure
# the server is stopped and the status is 1.
start_x_server() {
  local file n=""
  file=$(mktemp)
  "$@" -displayfd 3 3>"$file" >/dev/null 2>&1 &
  X_SERVER_PID=$!
  for _ in $(seq 200); do
    # The server writes the number and a newline once it is ready.
    if [ "$(wc -l <"$file")" -ge 1 ]; then
      n=$(tr -dc 0-9 <"$file")
      break
    fi
    kill -0 "$X_SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$file"
  if [ -n "$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
    export DISPLAY=":$n"
    return 0
  fi
  kill "$X_SERVER_PID" 2>/dev/null && wait "$X_SERVER_PID" 2>/dev/null
  return 1
}

# start_xvfb GEOMETRY [ARGS]: starts Xvfb (with any further ARGS, such as
# "-extension GLX") on a free display, sets DISPLAY and XVFB_PID.
start_xvfb() {
  # -noreset: by default the server resets when its last client leaves, and
  # while it does it refuses connections; the readiness check is a client,
  # so a program started right after it could find no display.
  local extra
  read -ra extra <<<"${2:-}"
  start_x_server Xvfb -screen 0 "$1" -nolisten tcp -noreset "${extra[@]}" || { echo "Xvfb did not start"; return 1; }
  XVFB_PID=$X_SERVER_PID
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

# wait_for_window TITLE: waits until a window with that title is mapped
# (up to 30 s: a sanitizer build on a loaded machine starts slowly).
wait_for_window() {
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# window_id TITLE: the id of a top-level window with that title (xdotool's
# search misses windows that set only the UTF-8 name), or nothing.
window_id() {
  xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) {print $1; exit}'
}

# start_xorg_dummy CONFIG LOG: starts Xorg with the dummy video driver (it
# can really switch modes) on a free display; sets DISPLAY and XORG_PID.
# Returns 1 when Xorg is missing or cannot start here.
start_xorg_dummy() {
  local xorg
  xorg=$(command -v Xorg || echo /usr/lib/xorg/Xorg)
  [ -x "$xorg" ] || { echo "no Xorg"; return 1; }
  local extra
  read -ra extra <<<"${XORG_EXTRA_ARGS:-}"
  if ! start_x_server "$xorg" -config "$1" -noreset -nolisten tcp -logfile "$2" "${extra[@]}"; then
    echo "Xorg (dummy) did not start:"; tail -5 "$2" 2>/dev/null
    return 1
  fi
  XORG_PID=$X_SERVER_PID
}

stop_xorg() {
  [ -n "${XORG_PID:-}" ] && kill "$XORG_PID" 2>/dev/null && wait "$XORG_PID" 2>/dev/null
  XORG_PID=
}

# switched: the screen runs at 1024x768, 60 Hz, as RandR reports it.
switched() { xrandr --current 2>/dev/null | grep -Eq '^ +1024x768 +60\.[0-9]+\*'; }

# screen_size: the screen's current size as RandR reports it, e.g. 1280x1024.
screen_size() {
  xrandr --current 2>/dev/null | sed -n 's/.*current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p' | head -1
}
