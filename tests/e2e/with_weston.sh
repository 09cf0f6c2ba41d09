#!/usr/bin/env bash
# Runs a command with DISPLAY set to the Xwayland of a private, headless
# weston (one 1280x1024 output), and KESTRAVON_TEST_XWAYLAND=1. Skips
# (status 0) when weston or Xwayland is not installed.
if ! command -v weston >/dev/null || ! command -v Xwayland >/dev/null; then
  echo "SKIPPED: no weston or Xwayland (scripts/setup.sh installs them)"
  exit 0
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
unset WAYLAND_DISPLAY
weston --backend=headless-backend.so --xwayland --width=1280 --height=1024 --socket=kestravon-test \
  --idle-time=0 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
trap 'kill $weston_pid 2>/dev/null; wait $weston_pid 2>/dev/null; rm -rf "$runtime"' EXIT
display=""
for _ in $(seq 200); do
  display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$runtime/weston.log")
  [ -n "$display" ] && break
  kill -0 $weston_pid 2>/dev/null || break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "weston did not start:"
  tail -20 "$runtime/weston.log"
  exit 1
fi
export DISPLAY=$display KESTRAVON_TEST_XWAYLAND=1
"$@"
